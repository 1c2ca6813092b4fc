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
  HandshakeAnswer Answer(const std::string& origin, const std::string& protocols) {
    return AnswerRequest({std::string(zyltest::kSampleKey), origin, protocols},
                         (folder_ / "origins.txt").string(), (folder_ / "settings.json").string());
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

} // namespace
} // namespace ZYL
