// Client messages of the JSON protocol from text: each reason to close, each request
// error, and what a well-formed message gives the dispatcher.
#include "protocol/json/MessageReader.h"

#include "protocol/json/JsonMethodTable.h"
#include "protocol/json/ProtocolDescription.h"

#include <gtest/gtest.h>
#include <string>
#include <variant>

namespace ZYL {
namespace {

using Json = nlohmann::json;

TEST(MessageReader, UnreadableMessagesCloseTheConnectionWithTheirCode) {
  struct Case {
    std::string text;
    CloseCode code;
  };
  const Case cases[] = {
      {"", CloseCode::MalformedMessage},
      {"{\"op\":\"request\"", CloseCode::MalformedMessage},
      {"{\"op\":\"request\"} x", CloseCode::MalformedMessage},
      {"[\"op\",\"request\"]", CloseCode::MalformedMessage},
      {"\"request\"", CloseCode::MalformedMessage},
      {"{}", CloseCode::MalformedMessage},
      {"{\"op\":null}", CloseCode::MalformedMessage},
      {"{\"op\":1}", CloseCode::MalformedMessage},
      {"{\"op\":\"hello\"}", CloseCode::UnknownOp},
      {"{\"op\":\"Request\"}", CloseCode::UnknownOp},
      {"{\"op\":\"response\",\"id\":1}", CloseCode::UnknownOp},
  };
  for (const Case& c : cases) {
    const ReadResult result = ReadMessage(c.text);
    ASSERT_TRUE(std::holds_alternative<ReadFailure>(result)) << c.text;
    EXPECT_EQ(std::get<ReadFailure>(result).code, c.code) << c.text;
    EXPECT_FALSE(std::get<ReadFailure>(result).reason.empty());
  }
}

std::string Nested(std::size_t levels) {
  std::string text = "{\"op\":\"request\",\"id\":1,\"method\":\"m\",\"params\":{\"p\":";
  // The message object and params are two levels already.
  for (std::size_t i = 2; i < levels; ++i)
    text += i % 2 ? "{\"a\":" : "[";
  text += "0";
  for (std::size_t i = levels; i-- > 2;)
    text += i % 2 ? "}" : "]";
  return text + "}}";
}

TEST(MessageReader, NestingIsAllowedToThirtyTwoLevelsAndRefusedBeyond) {
  EXPECT_TRUE(std::holds_alternative<Request>(ReadMessage(Nested(32)))) << Nested(32);
  const ReadResult deeper = ReadMessage(Nested(33));
  ASSERT_TRUE(std::holds_alternative<ReadFailure>(deeper));
  EXPECT_EQ(std::get<ReadFailure>(deeper).code, CloseCode::MalformedMessage);
  EXPECT_EQ(std::get<ReadFailure>(deeper).reason, "nested deeper than 32 levels");
}

// Regression guard: a message of brackets only, as large as a message may be, must be
// refused by counting, not by recursion that could exhaust a host thread's stack.
TEST(MessageReader, AFullMessageOfOpenBracketsIsRefusedAsTooDeep) {
  for (const char open : {'[', '{'}) {
    const ReadResult result = ReadMessage(std::string(65535, open));
    ASSERT_TRUE(std::holds_alternative<ReadFailure>(result));
    EXPECT_EQ(std::get<ReadFailure>(result).code, CloseCode::MalformedMessage);
  }
  const ReadResult closed = ReadMessage(std::string(30000, '[') + std::string(30000, ']'));
  ASSERT_TRUE(std::holds_alternative<ReadFailure>(closed));
  EXPECT_EQ(std::get<ReadFailure>(closed).reason, "nested deeper than 32 levels");
}

TEST(MessageReader, IdentifyFaultsAreMalformedOrAnotherProtocol) {
  struct Case {
    std::string text;
    CloseCode code;
  };
  const Case cases[] = {
      {R"({"op":"identify"})", CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":"2"})", CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":2.0})", CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":2,"authentication":5})", CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":2,"subscriptions":"vitals"})", CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":2,"subscriptions":["weather"]})",
       CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":2,"subscriptions":[1]})", CloseCode::MalformedMessage},
      {R"({"op":"identify","protocol":1})", CloseCode::UnsupportedProtocol},
      {R"({"op":"identify","protocol":3,"subscriptions":"x"})", CloseCode::UnsupportedProtocol},
      {R"({"op":"identify","protocol":-2})", CloseCode::UnsupportedProtocol},
      {R"({"op":"identify","protocol":18446744073709551615})", CloseCode::UnsupportedProtocol},
  };
  for (const Case& c : cases) {
    const ReadResult result = ReadMessage(c.text);
    ASSERT_TRUE(std::holds_alternative<IdentifyFailure>(result)) << c.text;
    EXPECT_EQ(std::get<IdentifyFailure>(result).code, c.code) << c.text;
  }
}

// Regression: the description let every op's id be null, while a client's null id is refused.
TEST(MessageReader, AClientsIdIsNullableInTheDescriptionOnlyWhereNullIsTaken) {
  const Json otherMembers = {{"request", {{"method", "version"}}},
                             {"batch", {{"requests", Json::array()}}},
                             {"subscribe", {{"topics", Json::array()}}},
                             {"unsubscribe", {{"topics", Json::array()}}}};
  const Json description = DescribeProtocol();
  for (const Json& op : description["ops"]) {
    if (op["from"] != "client") continue;
    for (const Json& member : op["members"]) {
      if (member["name"] != "id") continue;
      Json message = otherMembers.at(op["op"].get<std::string>());
      message["op"] = op["op"];
      message["id"] = nullptr;
      const bool refused = std::holds_alternative<Rejected>(ReadMessage(message.dump()));
      EXPECT_EQ(member["nullable"].get<bool>(), !refused) << message;
    }
  }
}

TEST(MessageReader, IdentifyGivesTheAnswerAndTheTopics) {
  const ReadResult result = ReadMessage(
      R"({"op":"identify","protocol":2,"authentication":"A=","subscriptions":["vitals","transport","vitals"]})");
  ASSERT_TRUE(std::holds_alternative<Identify>(result));
  const Identify& identify = std::get<Identify>(result);
  EXPECT_EQ(identify.authentication, "A=");
  EXPECT_EQ(identify.subscriptions.Topics(), (std::vector<Topic>{Topic::Transport, Topic::Vitals}));

  const ReadResult bare = ReadMessage(R"({"op":"identify","protocol":2})");
  ASSERT_TRUE(std::holds_alternative<Identify>(bare));
  EXPECT_FALSE(std::get<Identify>(bare).authentication);
  EXPECT_TRUE(std::get<Identify>(bare).subscriptions.Topics().empty());
}

TEST(MessageReader, RequestIdsAreStringsOrSafeIntegersKeptAsGiven) {
  struct Case {
    std::string id;
    RequestId expected;
  };
  const Case cases[] = {
      {"7", RequestId{std::int64_t{7}}},
      {"-7", RequestId{std::int64_t{-7}}},
      {"9007199254740991", RequestId{std::int64_t{9007199254740991}}},
      {"-9007199254740991", RequestId{std::int64_t{-9007199254740991}}},
      {"\"a\\u0041\"", RequestId{std::string("aA")}},
      {"\"\"", RequestId{std::string()}},
      {"\"" + std::string(256, 'x') + "\"", RequestId{std::string(256, 'x')}},
  };
  for (const Case& c : cases) {
    const ReadResult result =
        ReadMessage(R"({"op":"request","method":"version","id":)" + c.id + "}");
    ASSERT_TRUE(std::holds_alternative<Request>(result)) << c.id;
    EXPECT_EQ(std::get<Request>(result).id, c.expected) << c.id;
  }
}

TEST(MessageReader, IllFormedRequestsAreAnsweredNotClosed) {
  struct Case {
    std::string text;
    RequestId id;
    ErrorCode code;
  };
  const RequestId null;
  const RequestId one{std::int64_t{1}};
  const Case cases[] = {
      {R"({"op":"request","method":"version"})", null, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":null,"method":"version"})", null, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":1.5,"method":"version"})", null, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":3.0,"method":"version"})", null, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":1e3,"method":"version"})", null, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":9007199254740992,"method":"version"})", null,
       ErrorCode::InvalidRequest},
      {R"({"op":"request","id":-9007199254740992,"method":"version"})", null,
       ErrorCode::InvalidRequest},
      {R"({"op":"request","id":123456789012345678901234567890,"method":"version"})", null,
       ErrorCode::InvalidRequest},
      {R"({"op":"request","id":")" + std::string(257, 'x') + R"(","method":"version"})", null,
       ErrorCode::InvalidRequest},
      {R"({"op":"request","id":[1],"method":"version"})", null, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":1})", one, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":1,"method":5})", one, ErrorCode::InvalidRequest},
      {R"({"op":"request","id":1,"method":"version","params":null})", one,
       ErrorCode::InvalidRequest},
      {R"({"op":"request","id":1,"method":"version","params":[]})", one, ErrorCode::InvalidRequest},
      {R"({"op":"subscribe","topics":["vitals"]})", null, ErrorCode::InvalidRequest},
      {R"({"op":"subscribe","id":1})", one, ErrorCode::InvalidRequest},
      {R"({"op":"subscribe","id":1,"topics":[null]})", one, ErrorCode::InvalidRequest},
      {R"({"op":"unsubscribe","id":1,"topics":"vitals"})", one, ErrorCode::InvalidRequest},
      {R"({"op":"unsubscribe","id":1,"topics":["vitals","weather"]})", one,
       ErrorCode::InvalidParams},
  };
  for (const Case& c : cases) {
    const ReadResult result = ReadMessage(c.text);
    ASSERT_TRUE(std::holds_alternative<Rejected>(result)) << c.text;
    const Rejected& rejected = std::get<Rejected>(result);
    EXPECT_EQ(rejected.reply, Rejected::Reply::Response) << c.text;
    EXPECT_EQ(rejected.id, c.id) << c.text;
    EXPECT_EQ(rejected.error.code, c.code) << c.text;
  }
}

TEST(MessageReader, AnUnknownTopicNamesItAndTheParam) {
  const ReadResult result = ReadMessage(R"({"op":"subscribe","id":"s","topics":["weather"]})");
  ASSERT_TRUE(std::holds_alternative<Rejected>(result));
  const ResponseError& error = std::get<Rejected>(result).error;
  EXPECT_EQ(error.param, "topics");
  EXPECT_NE(error.message.find("\"weather\""), std::string::npos) << error.message;
}

TEST(MessageReader, RequestParamsDefaultToAnEmptyObjectAndDuplicatesKeepTheLast) {
  const ReadResult bare = ReadMessage(R"({"op":"request","id":1,"method":"version"})");
  ASSERT_TRUE(std::holds_alternative<Request>(bare));
  EXPECT_EQ(std::get<Request>(bare).params, Json::object());

  const ReadResult twice = ReadMessage(
      R"({"op":"request","id":1,"id":"two","method":"a","method":"b","params":{"t":1,"t":2}})");
  ASSERT_TRUE(std::holds_alternative<Request>(twice));
  const Request& request = std::get<Request>(twice);
  EXPECT_EQ(request.id, RequestId{std::string("two")});
  EXPECT_EQ(request.method, "b");
  EXPECT_EQ(request.params, Json({{"t", 2}}));
}

TEST(MessageReader, SubscriptionChangesCarryTheirTopics) {
  const ReadResult subscribe = ReadMessage(R"({"op":"subscribe","id":1,"topics":["marker"]})");
  ASSERT_TRUE(std::holds_alternative<Subscribe>(subscribe));
  EXPECT_EQ(std::get<Subscribe>(subscribe).topics.Topics(), std::vector<Topic>{Topic::Marker});
  const ReadResult unsubscribe = ReadMessage(R"({"op":"unsubscribe","id":2,"topics":[]})");
  ASSERT_TRUE(std::holds_alternative<Unsubscribe>(unsubscribe));
  EXPECT_TRUE(std::get<Unsubscribe>(unsubscribe).topics.Topics().empty());
}

std::string BatchOf(std::size_t count) {
  std::string text = R"({"op":"batch","id":"b","requests":[)";
  for (std::size_t i = 0; i < count; ++i)
    text += std::string(i ? "," : "") + R"({"method":"version"})";
  return text + "]}";
}

TEST(MessageReader, BatchesGiveTheirItemsInOrder) {
  const ReadResult result = ReadMessage(
      R"({"op":"batch","id":4,"haltOnFailure":true,"requests":[{"method":"a","params":{"x":1}},{"method":"b","params":null},{"method":"c"}]})");
  ASSERT_TRUE(std::holds_alternative<Batch>(result));
  const Batch& batch = std::get<Batch>(result);
  EXPECT_EQ(batch.id, RequestId{std::int64_t{4}});
  EXPECT_TRUE(batch.haltOnFailure);
  ASSERT_EQ(batch.items.size(), 3U);
  EXPECT_EQ(batch.items[0].method, "a");
  EXPECT_EQ(batch.items[0].params, Json({{"x", 1}}));
  EXPECT_FALSE(batch.items[0].fault);
  // Bad params fail that item alone.
  ASSERT_TRUE(batch.items[1].fault);
  EXPECT_EQ(batch.items[1].fault->code, ErrorCode::InvalidRequest);
  EXPECT_EQ(batch.items[2].params, Json::object());

  EXPECT_FALSE(std::get<Batch>(ReadMessage(BatchOf(0))).haltOnFailure);
  EXPECT_EQ(std::get<Batch>(ReadMessage(BatchOf(64))).items.size(), 64U);
}

TEST(MessageReader, IllFormedOrOversizedBatchesAreRefusedWhole) {
  struct Case {
    std::string text;
    bool nullId;
    ErrorCode code;
  };
  const Case cases[] = {
      {BatchOf(65), false, ErrorCode::TooMany},
      {R"({"op":"batch","requests":[]})", true, ErrorCode::InvalidRequest},
      {R"({"op":"batch","id":"b"})", false, ErrorCode::InvalidRequest},
      {R"({"op":"batch","id":"b","requests":{}})", false, ErrorCode::InvalidRequest},
      {R"({"op":"batch","id":"b","haltOnFailure":1,"requests":[]})", false,
       ErrorCode::InvalidRequest},
      {R"({"op":"batch","id":"b","requests":[{"method":"a"},5]})", false,
       ErrorCode::InvalidRequest},
      {R"({"op":"batch","id":"b","requests":[{"params":{}}]})", false, ErrorCode::InvalidRequest},
      {R"({"op":"batch","id":"b","requests":[{"method":null}]})", false, ErrorCode::InvalidRequest},
  };
  for (const Case& c : cases) {
    const ReadResult result = ReadMessage(c.text);
    ASSERT_TRUE(std::holds_alternative<Rejected>(result)) << c.text;
    const Rejected& rejected = std::get<Rejected>(result);
    EXPECT_EQ(rejected.reply, Rejected::Reply::BatchResponse) << c.text;
    EXPECT_EQ(std::holds_alternative<std::monostate>(rejected.id), c.nullId) << c.text;
    EXPECT_EQ(rejected.error.code, c.code) << c.text;
  }
}

} // namespace
} // namespace ZYL
