// The upgrade request reader fed bytes directly, the accept key and the two fixed replies.
#include "server/Handshake.h"

#include "server/HandshakeRequest.h"
#include "server/ServerLimits.h"
#include "support/TestEnvironment.h"
#include "support/WsTestClient.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ZYL {
namespace {

using Status = HandshakeRequestReader::Status;

struct ReadResult {
  Status status;
  std::size_t consumed;
  HandshakeRequest request;
};

// Feeds `bytes` in pieces ending at `cuts`; stops at the first status other than NeedMore.
ReadResult Read(std::string_view bytes, const std::vector<std::size_t>& cuts) {
  HandshakeRequestReader reader;
  std::size_t start = 0;
  std::vector<std::size_t> ends = cuts;
  ends.push_back(bytes.size());
  for (const std::size_t end : ends) {
    const HandshakeRequestReader::Step step = reader.Feed(bytes.substr(start, end - start));
    if (step.status != Status::NeedMore)
      return {step.status, start + step.consumed, reader.Request()};
    EXPECT_EQ(step.consumed, end - start);
    start = end;
  }
  return {Status::NeedMore, start, reader.Request()};
}

struct RequestCase {
  const char* name;
  std::string bytes;
  Status status;
  std::size_t consumed; // where the request ends within `bytes`
  std::string key;
  std::string origin;
};

std::vector<RequestCase> RequestCases() {
  const std::string standard = zyltest::UpgradeRequest("https://localhost:3000");
  const std::string longLine = "GET /" + std::string(server::kMaxHeaderLineBytes, 'a');
  std::string manyLines = "GET / HTTP/1.1\r\n";
  while (manyLines.size() <= server::kMaxRequestBytes)
    manyLines += "X-Filler: 0123456789\r\n";
  return {
      {"standard request", standard, Status::Complete, standard.size(),
       std::string(zyltest::kSampleKey), "https://localhost:3000"},
      {"the first frame after the blank line stays unread",
       standard + "\x81\x80"
                  "abcd",
       Status::Complete, standard.size(), std::string(zyltest::kSampleKey),
       "https://localhost:3000"},
      {"header names in any case, values trimmed, key case kept",
       "GET / HTTP/1.1\nSEC-WEBSOCKET-KEY: \t AbCd==  \r\nORIGIN:HTTP://LOCALHOST \n\n",
       Status::Complete, 72, "AbCd==", "HTTP://LOCALHOST"},
      {"CR dropped wherever it stands", "GET / HTTP/1.1\r\nOri\rgin: x\r\n\r\r\r\nAfter",
       Status::Complete, 32, "", "x"},
      {"a later header replaces an earlier one",
       "Sec-WebSocket-Key: a\nOrigin: o1\nSec-WebSocket-Key: b\nOrigin: o2\n\n", Status::Complete,
       65, "b", "o2"},
      {"\"origin:\" alone is too short to count", "Origin: keep\norigin:\n\n", Status::Complete, 22,
       "", "keep"},
      {"\"Originator:\" is not Origin", "Originator: x\n\n", Status::Complete, 15, "", ""},
      {"no blank line yet", "GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n", Status::NeedMore, 38, "k",
       ""},
      {"a line over 8 KiB", longLine, Status::LineTooLong, server::kMaxHeaderLineBytes + 1, "", ""},
      {"a request over 16 KiB", manyLines, Status::RequestTooLong, server::kMaxRequestBytes + 1, "",
       ""},
  };
}

TEST(HandshakeRequestReader, EveryRequestReadsTheSameAtEverySplit) {
  for (const RequestCase& requestCase : RequestCases()) {
    const std::size_t size = requestCase.bytes.size();
    std::vector<std::vector<std::size_t>> plans{{}, {1}, {size / 2}, {size - 1}};
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < size; ++i)
      everyByte.push_back(i);
    plans.push_back(everyByte);
    for (const std::vector<std::size_t>& cuts : plans) {
      const ReadResult result = Read(requestCase.bytes, cuts);
      const std::string label =
          std::string(requestCase.name) + ", " + std::to_string(cuts.size() + 1) + " pieces";
      EXPECT_EQ(result.status, requestCase.status) << label;
      EXPECT_EQ(result.consumed, requestCase.consumed) << label;
      EXPECT_EQ(result.request.key, requestCase.key) << label;
      EXPECT_EQ(result.request.origin, requestCase.origin) << label;
    }
  }
}

// `bytes` read whole, once every split into two pieces and a byte at a time were found to
// read the same.
HandshakeRequest ReadAtEverySplit(std::string_view bytes) {
  const HandshakeRequest whole = Read(bytes, {}).request;
  std::vector<std::size_t> everyByte;
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    everyByte.push_back(i);
    EXPECT_TRUE(Read(bytes, {i}).request == whole) << "split at " << i;
  }
  EXPECT_TRUE(Read(bytes, everyByte).request == whole) << "byte by byte";
  return whole;
}

TEST(HandshakeRequestReader, APeerThatStopsMidRequestIsJudgedOnWhatItSent) {
  HandshakeRequestReader reader;
  reader.Feed("GET / HTTP/1.1\r\nSec-WebSocket-Key: k1\r\nOrigin: http://local");
  EXPECT_EQ(reader.Finish(), Status::Complete);
  EXPECT_EQ(reader.Request().key, "k1");
  EXPECT_EQ(reader.Request().origin, "http://local");
}

// RFC 6455, section 1.3.
TEST(Handshake, AcceptKeyOfTheWorkedExample) {
  EXPECT_EQ(ComputeAcceptKey("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(Handshake, RepliesAreExactlyTheFixedTexts) {
  const std::string accept = AcceptReply("dGhlIHNhbXBsZSBub25jZQ==");
  EXPECT_EQ(accept.size(), 129u);
  EXPECT_EQ(accept, "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                    "Connection: Upgrade\r\nSec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo="
                    "\r\n\r\n");
  EXPECT_EQ(kRefusalReply.size(), 64u);
  EXPECT_EQ(kRefusalReply, "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0"
                           "\r\n\r\n");
}

TEST(Handshake, VerdictNeedsAKeyAndAnAllowedOrigin) {
  const std::string noFile;
  EXPECT_EQ(JudgeRequest({"", "http://localhost"}, noFile), HandshakeVerdict::Silent);
  EXPECT_EQ(JudgeRequest({"", ""}, noFile), HandshakeVerdict::Silent);
  EXPECT_EQ(JudgeRequest({"k", ""}, noFile), HandshakeVerdict::Accept);
  EXPECT_EQ(JudgeRequest({"k", "http://localhost"}, noFile), HandshakeVerdict::Accept);
  EXPECT_EQ(JudgeRequest({"k", "https://evil.example"}, noFile), HandshakeVerdict::Refuse);
}

TEST(HandshakeRequestReader, SubprotocolHeadersAreJoinedIntoOneList) {
  HandshakeRequestReader reader;
  reader.Feed("GET / HTTP/1.1\r\nSec-WebSocket-Protocol: chat, x\r\nSec-WebSocket-Key: k\r\n"
              "sec-websocket-protocol:  zyl.v2 \r\n\r\n");
  EXPECT_EQ(reader.Request().protocols, " chat, x,  zyl.v2 ");
  EXPECT_TRUE(OffersJsonProtocol(reader.Request().protocols));
}

TEST(Handshake, OnlyAnEntryOfExactlyZylV2ChoosesTheJsonProtocol) {
  for (const char* offered : {"zyl.v2", " chat ,zyl.v2", "zyl.v2 , chat", "a,,zyl.v2"})
    EXPECT_TRUE(OffersJsonProtocol(offered)) << offered;
  for (const char* offered : {"", "chat", "zyl.v2x", "zyl.v1", "ZYL.V2", "zyl.v2;q=1", ","})
    EXPECT_FALSE(OffersJsonProtocol(offered)) << offered;
}

// The allow-list and settings files of one answer, in a folder of the test's own.
class HandshakeAnswerTest : public ::testing::Test {
protected:
  void SetUp() override { std::filesystem::create_directories(folder_); }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void WriteSettings(const std::string& text) {
    std::ofstream(folder_ / "settings.json", std::ios::binary) << text;
  }
  // The answer to the standard request from `origin`, offering `protocols` when not empty.
  HandshakeAnswer Answer(const std::string& origin, const std::string& protocols) {
    std::string request = zyltest::UpgradeRequest(origin);
    if (!protocols.empty())
      request.insert(request.size() - 2, "Sec-WebSocket-Protocol: " + protocols + "\r\n");
    return AnswerParsed(Read(request, {}).request);
  }
  // The answer to `request` read from bytes, which read the same at every split.
  HandshakeAnswer AnswerBytes(std::string_view request) {
    return AnswerParsed(ReadAtEverySplit(request));
  }
  HandshakeAnswer AnswerParsed(const HandshakeRequest& request) {
    return AnswerRequest(request, (folder_ / "origins.txt").string(),
                         (folder_ / "settings.json").string());
  }
  const std::filesystem::path folder_ = std::filesystem::temp_directory_path() /
                                        ("zyl-handshake-" + std::to_string(zyltest::ProcessId()));
};

TEST_F(HandshakeAnswerTest, TheJsonProtocolAddsOneHeaderAndTheTextProtocolReplyIsUnchanged) {
  const std::string textReply = AcceptReply(zyltest::kSampleKey);
  const HandshakeAnswer text = Answer("http://localhost", "chat, zyl.v1");
  EXPECT_EQ(text.reply, textReply);
  ASSERT_TRUE(text.admission);
  EXPECT_EQ(text.admission->protocol, WireProtocol::Text);

  const HandshakeAnswer json = Answer("http://localhost", "chat, zyl.v2");
  EXPECT_EQ(json.reply,
            textReply.substr(0, textReply.size() - 2) + "Sec-WebSocket-Protocol: zyl.v2\r\n\r\n");
  ASSERT_TRUE(json.admission);
  EXPECT_EQ(json.admission->protocol, WireProtocol::Json);
}

TEST_F(HandshakeAnswerTest, OriginIsJudgedBeforeABrokenSettingsFileWhichFailsClosed) {
  WriteSettings("{\"password\": 3}");
  const HandshakeAnswer foreign = Answer("https://evil.example", "zyl.v2");
  EXPECT_EQ(foreign.reply, kRefusalReply);
  EXPECT_FALSE(foreign.admission);
  for (const char* protocols : {"", "zyl.v2"}) {
    const HandshakeAnswer broken = Answer("http://localhost", protocols);
    EXPECT_TRUE(broken.reply.starts_with("HTTP/1.1 500 Internal Server Error\r\n")) << broken.reply;
    EXPECT_NE(broken.reply.find("settings.json"), std::string::npos) << broken.reply;
    EXPECT_FALSE(broken.admission);
  }
}

TEST_F(HandshakeAnswerTest, APasswordRefusesTheTextProtocolUnlessTheFileAdmitsIt) {
  WriteSettings(R"({"password": "secret"})");
  const HandshakeAnswer text = Answer("http://localhost", "");
  EXPECT_EQ(text.reply, kRefusalReply);
  EXPECT_FALSE(text.admission);
  const HandshakeAnswer json = Answer("http://localhost", "zyl.v2");
  ASSERT_TRUE(json.admission);
  EXPECT_EQ(json.admission->settings.password, "secret");

  WriteSettings(R"({"password": "secret", "textProtocol": true})");
  EXPECT_TRUE(Answer("http://localhost", "").admission);
  WriteSettings(R"({"textProtocol": false})");
  EXPECT_EQ(Answer("http://localhost", "").reply, kRefusalReply);
  EXPECT_TRUE(Answer("http://localhost", "zyl.v2").admission);
}

// The status line of `reply`, or "" for none.
std::string StatusLine(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

// A request offering the JSON protocol, each line as given; "" drops a line.
std::string JsonRequest(std::string requestLine, std::string upgrade = "Upgrade: websocket",
                        std::string connection = "Connection: Upgrade",
                        std::string version = "Sec-WebSocket-Version: 13",
                        std::string key = "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==") {
  std::string request;
  for (const std::string& line :
       {requestLine, std::string("Host: 127.0.0.1:7890"), upgrade, connection, version, key,
        std::string("Origin: http://localhost"), std::string("Sec-WebSocket-Protocol: zyl.v2")})
    if (!line.empty()) request += line + "\r\n";
  return request + "\r\n";
}

// Regression: a JSON-protocol client's upgrade was answered 101 whatever its request line,
// Upgrade, Connection, version and key said.
TEST_F(HandshakeAnswerTest, AJsonProtocolUpgradeIsHeldToWebSocketRules) {
  const std::string get = "GET / HTTP/1.1";
  const std::string ok = "HTTP/1.1 101 Switching Protocols";
  const std::string bad = "HTTP/1.1 400 Bad Request";
  const std::string version = "HTTP/1.1 426 Upgrade Required";
  struct Case {
    const char* name;
    std::string request;
    std::string status;
  };
  const Case cases[] = {
      {"sound", JsonRequest(get), ok},
      {"a browser's Connection list, names in any case",
       JsonRequest(get, "upgrade:WebSocket", "connection: keep-alive, UPGRADE"), ok},
      {"a later HTTP", JsonRequest("GET /path?x=1 HTTP/1.2"), ok},
      {"version 8",
       JsonRequest(get, "Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Version: 8"),
       version},
      {"no version", JsonRequest(get, "Upgrade: websocket", "Connection: Upgrade", ""), version},
      {"version before the rest",
       JsonRequest("POST / HTTP/1.0", "", "", "Sec-WebSocket-Version: 12"), version},
      {"no Upgrade", JsonRequest(get, ""), bad},
      {"Upgrade of another protocol", JsonRequest(get, "Upgrade: h2c"), bad},
      {"Upgrade almost websocket", JsonRequest(get, "Upgrade: websockets"), bad},
      {"no Connection", JsonRequest(get, "Upgrade: websocket", ""), bad},
      {"Connection without upgrade",
       JsonRequest(get, "Upgrade: websocket", "Connection: keep-alive"), bad},
      {"POST", JsonRequest("POST / HTTP/1.1"), bad},
      {"get in lower case", JsonRequest("get / HTTP/1.1"), bad},
      {"HTTP/1.0", JsonRequest("GET / HTTP/1.0"), bad},
      {"no HTTP version", JsonRequest("GET /"), bad},
      {"not HTTP", JsonRequest("GET / HTTPS/1.1"), bad},
      {"key of 15 bytes",
       JsonRequest(get, "Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Version: 13",
                   "Sec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAA"),
       bad},
      {"key of 17 bytes",
       JsonRequest(get, "Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Version: 13",
                   "Sec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAAAAA="),
       bad},
      {"key without padding",
       JsonRequest(get, "Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Version: 13",
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ"),
       bad},
      {"key outside the alphabet",
       JsonRequest(get, "Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Version: 13",
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZ-=="),
       bad},
  };
  for (const Case& test : cases) {
    const HandshakeAnswer answer = AnswerBytes(test.request);
    EXPECT_EQ(StatusLine(answer.reply), test.status) << test.name;
    EXPECT_EQ(answer.admission.has_value(), test.status == ok) << test.name;
  }
  EXPECT_EQ(AnswerBytes(JsonRequest(get, "", "", "Sec-WebSocket-Version: 7")).reply,
            "HTTP/1.1 426 Upgrade Required\r\nSec-WebSocket-Version: 13\r\nConnection: close\r\n"
            "Content-Length: 0\r\n\r\n");
  const std::string refused = AnswerBytes(JsonRequest("POST / HTTP/1.1")).reply;
  EXPECT_NE(refused.find("the method must be GET"), std::string::npos) << refused;
}

// The origin (403) and the settings (500) are judged before the upgrade's soundness, and a
// text-protocol client is never held to it.
TEST_F(HandshakeAnswerTest,
       OnlyTheJsonProtocolIsHeldToWebSocketRulesAndOnlyAfterOriginAndSettings) {
  std::string unsound = JsonRequest("POST / HTTP/1.0", "", "", "");
  const std::string textRequest =
      unsound.substr(0, unsound.find("Sec-WebSocket-Protocol")) + "\r\n";
  EXPECT_EQ(AnswerBytes(textRequest).reply, AcceptReply(zyltest::kSampleKey));
  std::string foreign = unsound;
  foreign.replace(foreign.find("http://localhost"), 16, "https://evil.example");
  EXPECT_EQ(AnswerBytes(foreign).reply, kRefusalReply);
  WriteSettings("{\"password\": 3}");
  EXPECT_EQ(StatusLine(AnswerBytes(unsound).reply), "HTTP/1.1 500 Internal Server Error");
}

} // namespace
} // namespace ZYL
