// What the engine writes on a JSON-protocol connection: ids echoed as given, host texts as
// valid and exact UTF-8, params read with their types, and the close frame's payload.
#include "protocol/json/MessageWriter.h"

#include "protocol/json/RequestParams.h"
#include "server/ClosePayload.h"
#include "server/ValidUtf8.h"

#include <gtest/gtest.h>
#include <string>

namespace ZYL {
namespace {

using Json = nlohmann::json;

TEST(MessageWriter, IdsAreEchoedAsTheyCame) {
  const Json result = {{"version", "1.2.4"}};
  EXPECT_EQ(ResponseMessage(RequestId{std::int64_t{9007199254740991}}, result),
            R"({"op":"response","id":9007199254740991,"ok":true,"result":{"version":"1.2.4"}})");
  const std::string rest = R"(,"ok":true,"result":{"version":"1.2.4"}})";
  EXPECT_EQ(ResponseMessage(RequestId{std::int64_t{-3}}, result),
            R"({"op":"response","id":-3)" + rest);
  EXPECT_EQ(ResponseMessage(RequestId{std::string("7")}, result),
            R"({"op":"response","id":"7")" + rest);
  EXPECT_EQ(ResponseMessage(RequestId{std::string("q\"\\\n\xC3\xA9")}, result),
            "{\"op\":\"response\",\"id\":\"q\\\"\\\\\\n\xC3\xA9\"" + rest);
  EXPECT_EQ(ResponseMessage(RequestId{}, result), R"({"op":"response","id":null)" + rest);
}

TEST(MessageWriter, ErrorsCarryCodeMessageAndTheirOptionalMembers) {
  EXPECT_EQ(ResponseMessage(RequestId{std::int64_t{1}},
                            ResponseError{ErrorCode::InvalidParams, "bad", "ticks", std::nullopt}),
            R"({"op":"response","id":1,"ok":false,"error":{"code":"invalid_params",)"
            R"("message":"bad","param":"ticks"}})");
  EXPECT_EQ(ResponseMessage(RequestId{std::int64_t{1}},
                            ResponseError{ErrorCode::HostError, "refused", std::nullopt, -5}),
            R"({"op":"response","id":1,"ok":false,"error":{"code":"host_error",)"
            R"("message":"refused","status":-5}})");
}

TEST(MessageWriter, BatchResponsesListEachOutcomeInOrder) {
  const std::vector<Outcome> outcomes{
      Json{{"a", 1}},
      ResponseError{ErrorCode::UnknownMethod, "no such method", std::nullopt, std::nullopt}};
  EXPECT_EQ(BatchResponseMessage(RequestId{std::string("b")}, outcomes),
            R"({"op":"batchResponse","id":"b","ok":true,"results":[{"ok":true,"result":{"a":1}},)"
            R"({"ok":false,"error":{"code":"unknown_method","message":"no such method"}}]})");
  EXPECT_EQ(BatchResponseMessage(RequestId{std::int64_t{2}}, {}),
            R"({"op":"batchResponse","id":2,"ok":true,"results":[]})");
  EXPECT_EQ(
      BatchRefusedMessage(RequestId{std::int64_t{2}},
                          ResponseError{ErrorCode::TooMany, "m", std::nullopt, std::nullopt}),
      R"({"op":"batchResponse","id":2,"ok":false,"error":{"code":"too_many","message":"m"}})");
}

TEST(MessageWriter, OpeningMessages) {
  EXPECT_EQ(HelloMessage("1.2.4", std::nullopt),
            R"({"op":"hello","engine":"ZYL Engine","version":"1.2.4","protocol":2,)"
            R"("authentication":null})");
  EXPECT_EQ(HelloMessage("1.2.4", AuthenticationChallenge{"C=", "S="}),
            R"({"op":"hello","engine":"ZYL Engine","version":"1.2.4","protocol":2,)"
            R"("authentication":{"challenge":"C=","salt":"S="}})");
  TopicSet topics;
  topics.Add(Topic::Vitals);
  topics.Add(Topic::Transport);
  EXPECT_EQ(IdentifiedMessage(topics, std::nullopt),
            R"({"op":"identified","protocol":2,"subscriptions":["transport","vitals"]})");
  EXPECT_EQ(IdentifiedMessage(TopicSet{}, std::string("P=")),
            R"({"op":"identified","protocol":2,"subscriptions":[],"serverProof":"P="})");
}

// The engine writes most values itself and must write exactly what the library's compact
// dump writes, escapes, order of keys and replaced bad UTF-8 included.
TEST(MessageWriter, JsonTextIsTheLibrarysCompactDump) {
  const Json values[] = {
      Json::parse(R"({"version":"1.2.4"})"),
      Json::parse(R"({"b":[1,-2,3.5,true,false,null,"x"],"a":{},"c":[],"d":{"z":0,"y":-0}})"),
      Json::parse(R"({"quote\"key":"back\\slash","tab":"a\tb","nl":"\n","ctl":"\u0001"})"),
      Json::parse(R"({"\u00e9t\u00e9":"\u00e9\u4e2d\ud83d\ude00","del":"\u007f"})"),
      Json::parse(R"([18446744073709551615,-9223372036854775808,1e300,0.1,-0.0])"),
      Json("\xff bad \xc3"),
      Json("printable ~ and space"),
      Json(std::uint64_t{42}),
      Json(-7),
      Json(),
  };
  for (const Json& value : values) {
    std::string appended = "prefix";
    AppendJsonText(appended, value);
    EXPECT_EQ(appended, "prefix" + value.dump(-1, ' ', false, Json::error_handler_t::replace));
    EXPECT_EQ(JsonText(value), value.dump(-1, ' ', false, Json::error_handler_t::replace));
  }
}

TEST(ValidUtf8, WellFormedTextIsUnchangedAndEachBadSequenceBecomesOneReplacement) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"", ""},
      {"plain \x01 text", "plain \x01 text"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC\xF4\x8F\xBF\xBF",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC\xF4\x8F\xBF\xBF"},
      {"a\x80"
       "b",
       "a" + r + "b"},
      {"\xFF\xFE", r + r},
      {"\xC0\xAF", r + r}, // overlong: neither byte can start or continue
      {"\xE2\x82"
       "x",
       r + "x"},       // cut short: one replacement for the two bytes
      {"\xE2\x82", r}, // cut short by the end
      {"\xF0\x9F\x8E", r},
      {"\xED\xA0\x80", r + r + r},         // a surrogate: ED cannot take A0
      {"\xF4\x90\x80\x80", r + r + r + r}, // beyond U+10FFFF
      {"\xE0\x80\x80", r + r + r},         // overlong three-byte form
      {"\xE2\x82\xE2\x82\xAC", r + "\xE2\x82\xAC"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToValidUtf8(c.in), c.out)
        << Json(c.out).dump(-1, ' ', true, Json::error_handler_t::replace);
}

// The check passes ASCII a word at a time: a sequence is judged wherever it lies in the
// text, at each offset within a word and across the words' edges.
TEST(ValidUtf8, ASequenceIsJudgedAtEveryPlaceInALongerText) {
  const std::string ascii(24, 'a');
  for (std::size_t at = 0; at <= ascii.size(); ++at) {
    const auto placed = [&](std::string_view sequence) {
      return ascii.substr(0, at) + std::string(sequence) + ascii.substr(at);
    };
    EXPECT_TRUE(IsValidUtf8(placed("\xE2\x82\xAC"))) << at;
    EXPECT_FALSE(IsValidUtf8(placed("\x80"))) << at;
    EXPECT_FALSE(IsValidUtf8(placed("\xFF"))) << at;
    EXPECT_FALSE(IsValidUtf8(placed("\xC0\xAF"))) << at;
  }
}

TEST(RequestParams, IntegersMustBeJsonIntegersWithinRange) {
  const Json params = Json::parse(
      R"({"ticks":9223372036854775807,"low":-9223372036854775808,"float":3.0,"exp":1e3,"huge":9223372036854775808,"angle":17,"text":"3","nothing":null})");
  RequestParams read(params);
  EXPECT_EQ(read.Int64("ticks", Presence::Required), INT64_MAX);
  EXPECT_EQ(read.Int64("low", Presence::Required), INT64_MIN);
  EXPECT_FALSE(read.Error());

  for (const char* name : {"float", "exp", "huge", "text", "nothing"}) {
    RequestParams fresh(params);
    EXPECT_FALSE(fresh.Int64(name, Presence::Optional)) << name;
    ASSERT_TRUE(fresh.Error()) << name;
    EXPECT_EQ(fresh.Error()->code, ErrorCode::InvalidParams);
    EXPECT_EQ(fresh.Error()->param, name);
  }
  RequestParams angle(params);
  EXPECT_FALSE(angle.Int32("angle", Presence::Required, 1, 16));
  ASSERT_TRUE(angle.Error());
  EXPECT_EQ(angle.Error()->param, "angle");
  RequestParams timeline(params);
  EXPECT_FALSE(timeline.Int32("ticks", Presence::Optional));
  ASSERT_TRUE(timeline.Error());
  EXPECT_EQ(timeline.Error()->param, "ticks");
}

TEST(RequestParams, MissingRequiredUnknownAndWrongTypesNameTheParam) {
  const Json params = {{"track", -1}, {"name", "intro"}, {"on", true}, {"extra", 1}};
  RequestParams optional(params);
  EXPECT_EQ(optional.Int32("track", Presence::Optional), -1);
  EXPECT_FALSE(optional.Int64("timeline", Presence::Optional));
  EXPECT_EQ(optional.String("name", Presence::Required), "intro");
  EXPECT_EQ(optional.Bool("on", Presence::Optional), true);
  EXPECT_FALSE(optional.Error());

  RequestParams missing(params);
  EXPECT_FALSE(missing.Int64("ticks", Presence::Required));
  ASSERT_TRUE(missing.Error());
  EXPECT_EQ(missing.Error()->param, "ticks");

  RequestParams unknown(params);
  unknown.RejectUnknown({"track", "name", "on"});
  ASSERT_TRUE(unknown.Error());
  EXPECT_EQ(unknown.Error()->param, "extra");

  RequestParams wrong(params);
  EXPECT_FALSE(wrong.String("track", Presence::Required));
  EXPECT_FALSE(wrong.Bool("name", Presence::Required));
  ASSERT_TRUE(wrong.Error());
  EXPECT_EQ(wrong.Error()->param, "track") << "the first fault is the one reported";
}

TEST(ClosePayload, IsTheBigEndianCodeAndAReasonCutWithoutSplittingACharacter) {
  EXPECT_EQ(ClosePayload(4001, "unknown op"), std::string("\x0F\xA1unknown op"));
  EXPECT_EQ(ClosePayload(1001, ""), std::string("\x03\xE9"));
  const std::string exact(123, 'x');
  EXPECT_EQ(ClosePayload(4000, exact).size(), 125U);
  // 122 ASCII bytes, then a two-byte letter that would end at byte 124: it goes whole.
  const std::string split = std::string(122, 'x') + "\xC3\xA9";
  EXPECT_EQ(ClosePayload(4000, split), "\x0F\xA0" + std::string(122, 'x'));
}

} // namespace
} // namespace ZYL
