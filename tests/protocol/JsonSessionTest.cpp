// The JSON protocol end to end: the built module in the simulated host, a real socket, and
// the opening, framing, request and close rules a client relies on.
#include "platform/Platform.h"
#include "server/Base64.h"
#include "support/EngineHarness.h"
#include "support/TestEnvironment.h"
#include "support/TestSockets.h"
#include "support/WsTestClient.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace ZYL {
namespace {

using Json = nlohmann::json;
using zyltest::EngineHarness;
using zyltest::Millis;
using zyltest::WsTestClient;

constexpr std::string_view kPlainHello =
    R"({"op":"hello","engine":"ZYL Engine","version":"1.2.4","protocol":2,"authentication":null})";

std::string JsonUpgradeRequest(std::string_view protocols) {
  std::string request = zyltest::UpgradeRequest();
  request.insert(request.size() - 2, "Sec-WebSocket-Protocol: " + std::string(protocols) + "\r\n");
  return request;
}

std::string Digest(const std::string& text) {
  const auto digest = platform::Sha256(text);
  return digest ? Base64Encode(*digest) : std::string();
}

// The close frame's status code, or 0 when the next frame is no close frame.
int CloseCodeOf(const std::optional<zyltest::WsFrame>& frame) {
  if (!frame || frame->opcode != zyltest::kClose || frame->payload.size() < 2) return 0;
  return static_cast<unsigned char>(frame->payload[0]) << 8 |
         static_cast<unsigned char>(frame->payload[1]);
}

class JsonSession : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    settings_ = std::make_unique<zyltest::ScopedSettingsFolder>("json-session");
    engine_ = std::make_unique<EngineHarness>();
  }
  static void TearDownTestSuite() {
    engine_.reset();
    settings_.reset();
  }
  void SetUp() override { ASSERT_TRUE(engine_->Started()); }
  void TearDown() override { std::filesystem::remove(SettingsFile()); }

  static std::filesystem::path SettingsFile() {
    return settings_->EngineFolder() / "settings.json";
  }
  static void WriteSettings(const std::string& text) {
    std::ofstream(SettingsFile(), std::ios::binary) << text;
  }

  // Connects with "zyl.v2" offered (`prepare` as WsTestClient::Connect takes it); returns the
  // hello, "" on failure.
  static std::string Open(WsTestClient& client, std::string_view protocols = "zyl.v2",
                          const std::function<void(int)>& prepare = {}) {
    if (!client.Connect(Millis(5000), zyltest::kServerPort, prepare)) return "";
    const std::string reply = client.RawHandshake(JsonUpgradeRequest(protocols));
    if (!reply.starts_with("HTTP/1.1 101 ")) return "";
    return client.ReceiveText(Millis(5000), false).value_or("");
  }

  // Open and identify without a password; true when identified came back.
  static bool Identify(WsTestClient& client, const std::function<void(int)>& prepare = {}) {
    if (Open(client, "zyl.v2", prepare).empty()) return false;
    client.SendText(R"({"op":"identify","protocol":2})");
    const std::optional<std::string> reply = client.ReceiveText(Millis(5000), false);
    return reply && *reply == R"({"op":"identified","protocol":2,"subscriptions":[]})";
  }

  // The answer to `message`; events of held topics may come before it and are passed over.
  static Json Ask(WsTestClient& client, const std::string& message) {
    client.SendText(message);
    for (;;) {
      const Json reply = Json::parse(client.ReceiveText(Millis(5000), false).value_or("null"));
      if (!reply.is_object() || reply.value("op", "") != "event") return reply;
    }
  }

  static inline std::unique_ptr<EngineHarness> engine_;
  static inline std::unique_ptr<zyltest::ScopedSettingsFolder> settings_;
};

TEST_F(JsonSession, TheSubprotocolIsNamedInThe101AndHelloFollows) {
  WsTestClient client;
  ASSERT_TRUE(client.Connect());
  const std::string reply = client.RawHandshake(JsonUpgradeRequest("chat, zyl.v2"));
  EXPECT_NE(reply.find("\r\nSec-WebSocket-Protocol: zyl.v2\r\n\r\n"), std::string::npos) << reply;
  EXPECT_EQ(client.ReceiveText(Millis(5000), false), kPlainHello);

  WsTestClient textClient;
  ASSERT_TRUE(textClient.Connect());
  const std::string textReply = textClient.RawHandshake(JsonUpgradeRequest("chat"));
  EXPECT_EQ(textReply.find("Sec-WebSocket-Protocol"), std::string::npos) << textReply;
  textClient.SendText("get.version");
  EXPECT_EQ(textClient.ReceiveText(), "version:1.2.4");
}

TEST_F(JsonSession, OpeningFaultsCloseWithTheirCodes) {
  struct Case {
    const char* name;
    std::string first;
    std::string second; // sent after identify succeeded, when not empty
    int code;
  };
  const std::string identify = R"({"op":"identify","protocol":2})";
  const Case cases[] = {
      {"request before identify", R"({"op":"request","id":1,"method":"version"})", "", 4002},
      {"another protocol", R"({"op":"identify","protocol":3})", "", 4005},
      {"not JSON", "{", "", 4000},
      {"ill-formed identify", R"({"op":"identify","protocol":2,"subscriptions":"x"})", "", 4000},
      {"unknown op", R"({"op":"dance"})", "", 4001},
      {"second identify", identify, identify, 4003},
      {"unknown op after identify", identify, R"({"op":"dance"})", 4001},
  };
  for (const Case& test : cases) {
    WsTestClient client;
    ASSERT_EQ(Open(client), kPlainHello) << test.name;
    client.SendText(test.first);
    if (!test.second.empty()) {
      ASSERT_TRUE(client.ReceiveText(Millis(5000), false)) << test.name;
      client.SendText(test.second);
    }
    EXPECT_EQ(CloseCodeOf(client.ReceiveFrame()), test.code) << test.name;
    EXPECT_TRUE(client.WaitClosed(Millis(5000), false)) << test.name;
  }
}

TEST_F(JsonSession, FramingFaultsCloseWithTheirCodesAndFragmentsAreJoined) {
  struct Case {
    const char* name;
    std::string bytes;
    int code;
  };
  const std::string longText(65536, ' ');
  std::string reserved = zyltest::EncodeClientFrame(zyltest::kText, "{}");
  reserved[0] = static_cast<char>(reserved[0] | 0x40);
  std::string firstFragment = zyltest::EncodeClientFrame(zyltest::kText, "{");
  firstFragment[0] = static_cast<char>(firstFragment[0] & 0x7F);
  std::string fragmentedPing = zyltest::EncodeClientFrame(zyltest::kPing, "x");
  fragmentedPing[0] = static_cast<char>(fragmentedPing[0] & 0x7F);
  const Case cases[] = {
      {"binary", zyltest::EncodeClientFrame(zyltest::kBinary, "{}"), 1003},
      {"invalid UTF-8", zyltest::EncodeClientFrame(zyltest::kText, "\"\xC0\xAF\""), 1007},
      {"reserved bit", reserved, 1002},
      {"continuation first", zyltest::EncodeClientFrame(zyltest::kContinuation, "{}"), 1002},
      {"text inside a fragmented message",
       firstFragment + zyltest::EncodeClientFrame(zyltest::kText, "{}"), 1002},
      {"fragmented ping", fragmentedPing, 1002},
      {"long ping", zyltest::EncodeClientFrame(zyltest::kPing, std::string(126, 'p')), 1002},
      {"too long", zyltest::EncodeClientFrame(zyltest::kText, longText), 1009},
  };
  for (const Case& test : cases) {
    WsTestClient client;
    ASSERT_TRUE(Identify(client)) << test.name;
    client.SendRaw(test.bytes);
    EXPECT_EQ(CloseCodeOf(client.ReceiveFrame()), test.code) << test.name;
  }

  WsTestClient client;
  ASSERT_TRUE(Identify(client));
  client.SendFrame(zyltest::kPing, "are you there");
  const std::optional<zyltest::WsFrame> pong = client.ReceiveFrame();
  ASSERT_TRUE(pong);
  EXPECT_EQ(pong->opcode, zyltest::kPong);
  EXPECT_EQ(pong->payload, "are you there");
  const std::string request = R"({"op":"request","id":"a","method":"version"})";
  std::string head = zyltest::EncodeClientFrame(zyltest::kText, request.substr(0, 10));
  head[0] = static_cast<char>(head[0] & 0x7F);
  std::string middle = zyltest::EncodeClientFrame(zyltest::kContinuation, request.substr(10, 10));
  middle[0] = static_cast<char>(middle[0] & 0x7F);
  client.SendRaw(head + middle + zyltest::EncodeClientFrame(zyltest::kPing, "") +
                 zyltest::EncodeClientFrame(zyltest::kContinuation, request.substr(20)));
  std::optional<zyltest::WsFrame> frame = client.ReceiveFrame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->opcode, zyltest::kPong);
  EXPECT_EQ(client.ReceiveText(Millis(5000), false),
            R"({"op":"response","id":"a","ok":true,"result":{"version":"1.2.4"}})");
}

// The engine leaves the rest of a message it refuses unread. Its close frame must still
// reach a client whose tiny window holds it back behind answers not yet read: closing the
// socket over unread bytes would reset the connection and drop what was still unsent.
TEST_F(JsonSession, TheCloseOfATooLongMessageReachesAClientThatSentItInOneGo) {
  WsTestClient client;
  ASSERT_TRUE(Identify(client, zyltest::StarveReceives));
  constexpr int kRequests = 64;
  std::string bytes;
  for (int i = 0; i < kRequests; ++i)
    bytes +=
        zyltest::EncodeClientFrame(zyltest::kText, R"({"op":"request","id":1,"method":"version"})");
  bytes += zyltest::EncodeClientFrame(zyltest::kText, std::string(65536, ' '));
  ASSERT_TRUE(client.SendRaw(bytes));
  int answers = 0;
  std::optional<zyltest::WsFrame> frame;
  while ((frame = client.ReceiveFrame()) && frame->opcode == zyltest::kText)
    ++answers;
  EXPECT_EQ(answers, kRequests);
  EXPECT_EQ(CloseCodeOf(frame), 1009);
}

// Regression: a client that sent its message a byte at a time kept its place for as long as
// it liked, before identify and after. Both connections trickle at once, so the test takes
// one bound's time.
TEST_F(JsonSession, AMessageTrickledAByteAtATimeIsClosedAfterTenSeconds) {
  WsTestClient early;
  WsTestClient identified;
  ASSERT_EQ(Open(early), kPlainHello);
  ASSERT_TRUE(Identify(identified));
  const std::string padding(100, ' '); // at two bytes a second, far past the bound
  struct Trickled {
    WsTestClient* client;
    std::string frame;
    int expected;
    int code = 0;
    std::size_t sent = 0;
  };
  Trickled trickled[] = {
      {&early,
       zyltest::EncodeClientFrame(zyltest::kText, R"({"op":"identify","protocol":2})" + padding),
       4002},
      {&identified,
       zyltest::EncodeClientFrame(zyltest::kText,
                                  R"({"op":"request","id":1,"method":"version"})" + padding),
       4007},
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < end &&
         (trickled[0].code == 0 || trickled[1].code == 0)) {
    for (Trickled& each : trickled) {
      if (each.code != 0) continue;
      ASSERT_LT(each.sent, each.frame.size()) << each.expected << ": the whole message went out";
      each.client->SendRaw(each.frame.substr(each.sent++, 1));
      if (const std::optional<zyltest::WsFrame> frame = each.client->ReceiveFrame(Millis(250)))
        each.code = CloseCodeOf(frame);
    }
  }
  EXPECT_EQ(trickled[0].code, 4002);
  EXPECT_EQ(trickled[1].code, 4007);
}

TEST_F(JsonSession, APasswordIsAnsweredWithAProofAndAWrongAnswerIsClosedLate) {
  WriteSettings(R"({"password": "a long secret"})");
  WsTestClient textClient;
  ASSERT_TRUE(textClient.Connect());
  EXPECT_TRUE(textClient.Handshake().starts_with("HTTP/1.1 403 "));

  for (const bool right : {true, false}) {
    WsTestClient client;
    const Json hello = Json::parse(Open(client));
    ASSERT_TRUE(hello["authentication"].is_object()) << hello;
    const std::string challenge = hello["authentication"]["challenge"];
    const std::string salt = hello["authentication"]["salt"];
    EXPECT_EQ(challenge.size(), 44u);
    const std::string key = Digest((right ? "a long secret" : "a long secreT") + salt);
    const std::string answer = Digest(key + challenge);
    const auto sent = std::chrono::steady_clock::now();
    client.SendText(Json{{"op", "identify"}, {"protocol", 2}, {"authentication", answer}}.dump());
    if (right) {
      const Json identified = Json::parse(client.ReceiveText(Millis(5000), false).value_or("null"));
      EXPECT_EQ(identified.value("serverProof", ""), Digest(key + answer + challenge));
    } else {
      EXPECT_EQ(CloseCodeOf(client.ReceiveFrame()), 4004);
      EXPECT_GE(std::chrono::steady_clock::now() - sent, Millis(900));
    }
  }
}

// Regression: with no password set, an authentication member that was not a string closed
// the connection as ill-formed, though hello asked for none.
TEST_F(JsonSession, WithoutAPasswordAnyAuthenticationIsIgnored) {
  for (const char* answer : {"null", "5", R"("x")"}) {
    WsTestClient client;
    ASSERT_EQ(Open(client), kPlainHello);
    client.SendText(R"({"op":"identify","protocol":2,"authentication":)" + std::string(answer) +
                    "}");
    EXPECT_EQ(client.ReceiveText(Millis(5000), false),
              R"({"op":"identified","protocol":2,"subscriptions":[]})")
        << answer;
  }
}

TEST_F(JsonSession, RequestsAndBatchesAnswerWithResultsOrTypedErrors) {
  WsTestClient client;
  ASSERT_TRUE(Identify(client));
  EXPECT_EQ(Ask(client, R"({"op":"request","id":7,"method":"nope"})")["error"]["code"],
            "unknown_method");
  const Json mistyped = Ask(client, R"({"op":"request","id":8,"method":"angle.get",)"
                                    R"("params":{"ticks":1.5}})");
  EXPECT_EQ(mistyped["error"]["code"], "invalid_params");
  EXPECT_EQ(mistyped["error"]["param"], "ticks");
  EXPECT_EQ(Ask(client,
                R"({"op":"request","id":9,"method":"version","params":{"x":1}})")["error"]["param"],
            "x");
  const Json batch =
      Ask(client, R"({"op":"batch","id":"b","haltOnFailure":true,"requests":[)"
                  R"({"method":"version"},{"method":"nope"},{"method":"version"}]})");
  ASSERT_EQ(batch["results"].size(), 2u) << batch;
  EXPECT_EQ(batch["results"][0]["result"]["version"], "1.2.4");
  EXPECT_EQ(batch["results"][1]["error"]["code"], "unknown_method");
  const Json subscribed =
      Ask(client, R"({"op":"subscribe","id":1,"topics":["vitals","transport"]})");
  EXPECT_EQ(subscribed["result"]["subscriptions"], Json({"transport", "vitals"}));
  const Json scan = Ask(client, R"({"op":"request","id":3,"method":"debug.timelineScan",)"
                                R"("params":{"from":0,"to":10,"budgetMs":500}})");
  EXPECT_TRUE(scan["result"].is_object()) << scan;
  const Json dump = Ask(client, R"({"op":"request","id":4,"method":"debug.dumpAngle",)"
                                R"("params":{"ticks":0}})");
  EXPECT_FALSE(dump["result"]["lines"].empty()) << dump;
  const Json info = Ask(client, R"({"op":"request","id":2,"method":"info"})");
  EXPECT_EQ(info["result"]["protocols"], Json({1, 2}));
}

// Regression: a number too large for a double (1e309) anywhere closed an identified
// connection as malformed. Such numbers, and integers past 64 bits, fail where they stand.
TEST_F(JsonSession, NumbersOutOfRangeFailOnlyWhereTheyStand) {
  WsTestClient client;
  ASSERT_TRUE(Identify(client));
  const std::vector<std::string> ids{"1e309", "-1e309", "18446744073709551616",
                                     "1" + std::string(400, '0')};
  for (const std::string& id : ids) {
    const Json reply = Ask(client, R"({"op":"request","id":)" + id + R"(,"method":"version"})");
    EXPECT_EQ(reply["error"]["code"], "invalid_request") << id << ": " << reply;
    EXPECT_TRUE(reply["id"].is_null()) << id << ": " << reply;
  }
  for (const char* ticks : {"1e309", "-1E+400", "123456789012345678901234567890"}) {
    const Json reply = Ask(client, R"({"op":"request","id":2,"method":"angle.get","params":)"
                                   R"({"ticks":)" +
                                       std::string(ticks) + "}}");
    EXPECT_EQ(reply["error"]["code"], "invalid_params") << ticks << ": " << reply;
    EXPECT_EQ(reply["error"]["param"], "ticks") << ticks << ": " << reply;
  }
  // Elsewhere such a number is passed over like any unknown member; strings stay as written.
  const Json ignored = Ask(client, R"({"op":"request","id":"1e309","x":[1e309,"\"1e309",-1e999],)"
                                   R"("method":"version"})");
  EXPECT_EQ(ignored, Json::parse(R"({"op":"response","id":"1e309","ok":true,)"
                                 R"("result":{"version":"1.2.4"}})"));
  const Json batch = Ask(client, R"({"op":"batch","id":3,"requests":[)"
                                 R"({"method":"angle.get","params":{"ticks":1e309}},)"
                                 R"({"method":"version"}]})");
  ASSERT_EQ(batch["results"].size(), 2u) << batch;
  EXPECT_EQ(batch["results"][0]["error"]["param"], "ticks");
  EXPECT_EQ(batch["results"][1]["result"]["version"], "1.2.4");
  // A number that is no number at all still makes the message malformed.
  client.SendText(R"({"op":"request","id":1e309-,"method":"version"})");
  EXPECT_EQ(CloseCodeOf(client.ReceiveFrame()), 4000);
}

TEST_F(JsonSession, EventsComeOnlyForHeldTopicsBetweenSubscribeAndUnsubscribe) {
  WsTestClient transport;
  WsTestClient markers;
  ASSERT_TRUE(Identify(transport));
  ASSERT_TRUE(Identify(markers));
  EXPECT_EQ(Ask(transport, R"({"op":"subscribe","id":1,"topics":["transport"]})")["ok"], true);
  EXPECT_EQ(Ask(markers, R"({"op":"subscribe","id":1,"topics":["marker"]})")["ok"], true);
  ASSERT_TRUE(engine_->Execute("play on"));
  EXPECT_EQ(transport.ReceiveText(Millis(5000), false),
            R"({"op":"event","topic":"transport","data":{"type":"play","on":true}})");
  const Json unsubscribed = Ask(transport, R"({"op":"unsubscribe","id":2,"topics":["transport"]})");
  EXPECT_EQ(unsubscribed["result"]["subscriptions"], Json::array());
  ASSERT_TRUE(engine_->Execute("play off"));
  // Each connection's next text is the answer to its request: no event came between.
  for (WsTestClient* client : {&transport, &markers})
    EXPECT_EQ(Ask(*client, R"({"op":"request","id":3,"method":"version"})")["op"], "response");
}

TEST_F(JsonSession, EachEventIsAMessageOfItsOwnInTheOrderTheHostCausedThem) {
  WsTestClient client;
  ASSERT_TRUE(Identify(client));
  EXPECT_EQ(Ask(client, R"({"op":"subscribe","id":1,"topics":["transport","marker"]})")["ok"],
            true);
  for (const char* line : {"play on", "markers-rebuilt", "pause on", "stop off"})
    ASSERT_TRUE(engine_->Execute(line));
  // The host's marker count is the demo project's, so each push is checked by its type.
  for (const char* expected :
       {"transport play", "marker rebuild", "transport pause", "transport stop"}) {
    const Json event = Json::parse(client.ReceiveText(Millis(5000), false).value_or("null"));
    ASSERT_TRUE(event.is_object()) << expected;
    EXPECT_EQ(event.value("topic", "") + " " + event["data"].value("type", ""), expected);
  }
}

TEST_F(JsonSession, StoppingTheEngineSaysGoingAway) {
  WsTestClient client;
  ASSERT_TRUE(Identify(client));
  engine_.reset();
  EXPECT_EQ(CloseCodeOf(client.ReceiveFrame()), 1001);
  engine_ = std::make_unique<EngineHarness>();
}

} // namespace
} // namespace ZYL
