// A catalogue of malformed and hostile input over real sockets, against the built module in
// the simulated host. Whatever a client sends, only its own connection may suffer: the host
// process (this test process) lives on and the next client is served normally.
#include "support/EngineHarness.h"
#include "support/WsTestClient.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ZYL {
namespace {

using zyltest::EncodeClientFrame;
using zyltest::EngineHarness;
using zyltest::Millis;
using zyltest::UpgradeRequest;
using zyltest::WsTestClient;

constexpr std::uint8_t kFinBit = 0x80;
constexpr std::uint8_t kMaskBit = 0x80;
constexpr std::uint8_t kLength16 = 126;
constexpr std::uint8_t kLength64 = 127;

std::string RandomBytes(std::size_t count, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (char& c : bytes)
    c = static_cast<char>(byte(generator));
  return bytes;
}

// A frame header with the given first byte and length form; unmasked so the length is all
// the server has to go on.
std::string FrameHeader(std::uint8_t first, std::uint8_t lengthCode, const std::string& extended) {
  std::string header{static_cast<char>(first), static_cast<char>(lengthCode)};
  return header + extended;
}

class BadInput : public ::testing::Test {
protected:
  static void SetUpTestSuite() { engine_ = std::make_unique<EngineHarness>(); }
  static void TearDownTestSuite() { engine_.reset(); }
  void SetUp() override { ASSERT_TRUE(engine_->Started()); }

  // Checked after every bad client: a fresh client gets the upgrade and its answer.
  static void ExpectNextClientServed() {
    WsTestClient client;
    ASSERT_TRUE(client.Open()) << "the next client was not upgraded";
    ASSERT_TRUE(client.SendText("get.version"));
    EXPECT_EQ(client.ReceiveText(), "version:1.2.4");
  }

  static WsTestClient Upgraded() {
    WsTestClient client;
    EXPECT_TRUE(client.Open());
    return client;
  }

  static inline std::unique_ptr<EngineHarness> engine_;
};

TEST_F(BadInput, GarbageInsteadOfAnUpgradeIsClosedSilently) {
  const std::vector<std::pair<const char*, std::string>> requests{
      {"random bytes", RandomBytes(4096, 1) + "\r\n\r\n"},
      {"random bytes without line ends", RandomBytes(2048, 2)},
      {"plain GET without upgrade headers", "GET / HTTP/1.1\r\nHost: 127.0.0.1:7890\r\n\r\n"},
      {"a frame instead of a request", EncodeClientFrame(zyltest::kText, "get.version")},
      {"a blank line only", "\r\n"},
  };
  for (const auto& [name, request] : requests) {
    SCOPED_TRACE(name);
    WsTestClient client;
    ASSERT_TRUE(client.Connect());
    client.SendRaw(request);
    EXPECT_TRUE(client.WaitClosed(Millis(15000))) << "the server kept the connection or replied";
    ExpectNextClientServed();
  }
}

TEST_F(BadInput, OversizedRequestsAreCutOffWithoutAReply) {
  const std::string megabyteValue(2 * 1024 * 1024, 'a');
  std::string manyLines = "GET / HTTP/1.1\r\n";
  while (manyLines.size() < 64 * 1024)
    manyLines += "X-Filler: " + std::string(100, 'f') + "\r\n";
  const std::vector<std::pair<const char*, std::string>> requests{
      {"a header line of megabytes", "GET / HTTP/1.1\r\nX-Long: " + megabyteValue + "\r\n\r\n"},
      {"a request line of megabytes", "GET /" + megabyteValue + " HTTP/1.1\r\n\r\n"},
      {"an origin of megabytes", "GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                 "Origin: http://" +
                                     megabyteValue + "\r\n\r\n"},
      {"endless short header lines", manyLines},
  };
  for (const auto& [name, request] : requests) {
    SCOPED_TRACE(name);
    WsTestClient client;
    ASSERT_TRUE(client.Connect());
    client.SendRaw(request); // fails part way once the server hangs up, as it should
    EXPECT_TRUE(client.WaitClosed(Millis(15000), /*requireSilence=*/false));
    ExpectNextClientServed();
  }
}

TEST_F(BadInput, LengthsTheServerMustNotTrustEndOnlyThatConnection) {
  const std::vector<std::pair<const char*, std::string>> frames{
      {"64-bit length of 2^63",
       FrameHeader(kFinBit | zyltest::kText, kLength64, std::string("\x80\0\0\0\0\0\0\0", 8))},
      {"64-bit length of 16 bytes",
       FrameHeader(kFinBit | zyltest::kText, kLength64, std::string("\0\0\0\0\0\0\0\x10", 8)) +
           std::string(16, 'x')},
      {"masked 64-bit length",
       FrameHeader(kFinBit | zyltest::kText, kMaskBit | kLength64, std::string(8, '\xff'))},
  };
  for (const auto& [name, frame] : frames) {
    SCOPED_TRACE(name);
    WsTestClient client = Upgraded();
    ASSERT_TRUE(client.SendRaw(frame));
    EXPECT_TRUE(client.WaitClosed(Millis(15000), /*requireSilence=*/false));
    ExpectNextClientServed();
  }
}

TEST_F(BadInput, FramesCutShortByAClosingPeerEndOnlyThatConnection) {
  const std::vector<std::pair<const char*, std::string>> frames{
      {"7-bit length 100, 10 bytes",
       FrameHeader(kFinBit | zyltest::kText, 100, "") + std::string(10, 'x')},
      {"16-bit length 65535, 1000 bytes",
       FrameHeader(kFinBit | zyltest::kText, kLength16, "\xff\xff") + std::string(1000, 'y')},
      {"mask key cut short", FrameHeader(kFinBit | zyltest::kText, kMaskBit | 5, "\x01\x02")},
      {"extended length cut short", FrameHeader(kFinBit | zyltest::kText, kLength16, "\x01")},
      {"one header byte", std::string(1, static_cast<char>(kFinBit | zyltest::kText))},
  };
  for (const auto& [name, frame] : frames) {
    SCOPED_TRACE(name);
    WsTestClient client = Upgraded();
    ASSERT_TRUE(client.SendRaw(frame));
    client.Close();
    ExpectNextClientServed();
  }
}

// Every opcode, empty and with a payload, followed on the same connection by a command:
// close and the empty text end the connection, everything else is read past or answered.
TEST_F(BadInput, EveryOpcodeWithAndWithoutPayload) {
  for (std::uint8_t opcode = 0; opcode < 16; ++opcode) {
    for (const std::string_view payload : {std::string_view(), std::string_view("payload")}) {
      SCOPED_TRACE("opcode " + std::to_string(opcode) +
                   (payload.empty() ? " empty" : " with payload"));
      WsTestClient client = Upgraded();
      ASSERT_TRUE(client.SendFrame(opcode, payload));
      const bool ends = opcode == zyltest::kClose || (opcode == zyltest::kText && payload.empty());
      if (ends) {
        EXPECT_TRUE(client.WaitClosed(Millis(15000), /*requireSilence=*/false));
      } else {
        ASSERT_TRUE(client.SendText("get.version"));
        EXPECT_EQ(client.ReceiveText(), "version:1.2.4");
      }
      ExpectNextClientServed();
    }
  }
}

TEST_F(BadInput, RandomBytesAfterTheUpgrade) {
  for (std::uint32_t seed = 10; seed < 18; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    WsTestClient client = Upgraded();
    client.SendRaw(RandomBytes(8192, seed));
    client.Close();
    ExpectNextClientServed();
  }
}

TEST_F(BadInput, UnmaskedAndFragmentedFrames) {
  const std::vector<std::pair<const char*, std::string>> streams{
      {"unmasked text", EncodeClientFrame(zyltest::kText, "get.version", /*masked=*/false)},
      {"unmasked close", EncodeClientFrame(zyltest::kClose, "", /*masked=*/false)},
      {"text without FIN, then continuation",
       std::string(1, static_cast<char>(zyltest::kText)) +
           EncodeClientFrame(zyltest::kText, "get.").substr(1) +
           EncodeClientFrame(zyltest::kContinuation, "version")},
      {"continuation without a start", EncodeClientFrame(zyltest::kContinuation, "orphan")},
      {"ping between fragments", std::string(1, static_cast<char>(zyltest::kText)) +
                                     EncodeClientFrame(zyltest::kText, "get.").substr(1) +
                                     EncodeClientFrame(zyltest::kPing, "ping") +
                                     EncodeClientFrame(zyltest::kContinuation, "version")},
      {"oversized ping", EncodeClientFrame(zyltest::kPing, std::string(1000, 'p'))},
      {"binary message of 65535 bytes",
       EncodeClientFrame(zyltest::kBinary, std::string(65535, 'b'))},
      {"text message of 65535 bytes", EncodeClientFrame(zyltest::kText, std::string(65535, 't'))},
  };
  for (const auto& [name, stream] : streams) {
    SCOPED_TRACE(name);
    WsTestClient client = Upgraded();
    ASSERT_TRUE(client.SendRaw(stream));
    client.Close();
    ExpectNextClientServed();
  }
}

// More bad clients at once than the server has places: each place must come back.
TEST_F(BadInput, ManyBadClientsAtOnceGiveTheirPlacesBack) {
  std::vector<WsTestClient> clients(24);
  for (std::size_t i = 0; i < clients.size(); ++i) {
    if (!clients[i].Connect()) continue;
    clients[i].SendRaw(i % 2 ? RandomBytes(512, static_cast<std::uint32_t>(i))
                             : UpgradeRequest().substr(0, 20));
  }
  for (WsTestClient& client : clients)
    client.Close();
  // The server counts a place free only once that connection's thread has ended, which may
  // take a moment after the close; a place must come back well within the bound.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  WsTestClient next;
  bool opened = next.Open(Millis(1000));
  while (!opened && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(Millis(100));
    opened = next.Open(Millis(1000));
  }
  ASSERT_TRUE(opened) << "no place came back";
  ASSERT_TRUE(next.SendText("get.version"));
  EXPECT_EQ(next.ReceiveText(), "version:1.2.4");
}

} // namespace
} // namespace ZYL
