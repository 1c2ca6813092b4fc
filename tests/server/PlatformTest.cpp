// The platform layer as the server relies on it, on every operating system: an exclusive
// loopback listener, whole receives, the handshake digest, the password digest and the random
// source.
#include "platform/Platform.h"

#include "support/LoadScale.h"
#include "support/ProcessResources.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ZYL::platform {
namespace {

constexpr std::uint16_t kServerPort = 7890;

template <std::size_t N> std::string Hex(const std::array<std::uint8_t, N>& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

// A listener on the loopback interface, closed at the end of the scope.
class ScopedListener {
public:
  explicit ScopedListener(std::uint16_t port) : socket_(OpenLoopbackListener(port, 4)) {}
  ~ScopedListener() {
    if (socket_ != kNoSocket) CloseSocket(socket_);
  }
  ScopedListener(const ScopedListener&) = delete;
  ScopedListener& operator=(const ScopedListener&) = delete;
  Socket get() const noexcept { return socket_; }

private:
  Socket socket_;
};

class PlatformSockets : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(StartNetworking()); }
};

// Regression: with address reuse as Windows defines it, a second program could bind the
// engine's port while the engine listens and take its clients.
TEST_F(PlatformSockets, SecondListenerCannotBindThePortWhileTheFirstListens) {
  const ScopedListener first(kServerPort);
  ASSERT_NE(first.get(), kNoSocket);
  const ScopedListener second(kServerPort);
  EXPECT_EQ(second.get(), kNoSocket);
}

TEST_F(PlatformSockets, PortIsFreeAgainOnceTheListenerIsClosed) {
  {
    const ScopedListener first(kServerPort);
    ASSERT_NE(first.get(), kNoSocket);
  }
  const ScopedListener again(kServerPort);
  EXPECT_NE(again.get(), kNoSocket);
}

// The example of RFC 6455, section 1.3: the client's key with the protocol's GUID appended.
TEST_F(PlatformSockets, AnAcceptWithinGivesUpAfterItsTimeOrAtOnceWhenTheListenerIsShut) {
  const ScopedListener listener(kServerPort);
  ASSERT_NE(listener.get(), kNoSocket);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AcceptWithin(listener.get(), 300), kNoSocket);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

  std::thread shutter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ShutdownBoth(listener.get());
  });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(AcceptWithin(listener.get(), 10000), kNoSocket);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
  shutter.join();
}

// Regression: an accepted socket kept the listener's accept time-out as its own receive
// time-out, so a connection whose client was quiet for longer ended.
TEST_F(PlatformSockets, EachConnectionGoesToOneWaiterAndItsReadsWaitWithoutTheAcceptTimeOut) {
  const ScopedListener listener(kServerPort);
  ASSERT_NE(listener.get(), kNoSocket);
  constexpr int kAcceptMilliseconds = 300;
  std::array<Socket, 2> accepted{kNoSocket, kNoSocket};
  std::thread waiters[2];
  for (std::size_t i = 0; i < 2; ++i)
    waiters[i] =
        std::thread([&, i] { accepted[i] = AcceptWithin(listener.get(), kAcceptMilliseconds); });
  const Socket client = ConnectLoopback(kServerPort);
  ASSERT_NE(client, kNoSocket);
  for (std::thread& waiter : waiters)
    waiter.join();
  ASSERT_NE(accepted[0] == kNoSocket, accepted[1] == kNoSocket) << "one waiter, not two or none";
  const Socket served = accepted[0] != kNoSocket ? accepted[0] : accepted[1];

  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kAcceptMilliseconds));
    SendSome(client, "x", 1);
  });
  char byte = 0;
  EXPECT_EQ(Receive(served, &byte, 1, true), 1);
  EXPECT_EQ(byte, 'x');
  late.join();
  CloseSocket(served);
  CloseSocket(client);
}

TEST(PlatformSha1, HashesTheHandshakeExampleOfTheWebSocketStandard) {
  EXPECT_EQ(Hex(Sha1("dGhlIHNhbXBsZSBub25jZQ==258EAFA5-E914-47DA-95CA-C5AB0DC85B11")),
            "b37a4f2cc0624f1690f64606cf385945b2bec4ea");
}

TEST(PlatformSha1, HashesEmptyAndMultiBlockInputs) {
  EXPECT_EQ(Hex(Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  // 56 bytes: the length no longer fits in the first block, so a second one is needed.
  EXPECT_EQ(Hex(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

std::string Sha256Hex(std::string_view data) {
  const std::optional<std::array<std::uint8_t, 32>> digest = Sha256(data);
  return digest ? Hex(*digest) : "no digest";
}

// The examples of FIPS 180-2: one block, two blocks, and a million bytes.
TEST(PlatformSha256, HashesTheStandardExamples) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(PlatformRandomBytes, TwoDrawsDiffer) {
  std::array<std::uint8_t, 32> first{};
  std::array<std::uint8_t, 32> second{};
  ASSERT_TRUE(RandomBytes(first));
  ASSERT_TRUE(RandomBytes(second));
  // Equal 32-byte draws would mean a stuck or unseeded source (chance 2^-256 otherwise).
  EXPECT_NE(first, second);
  EXPECT_NE(first, (std::array<std::uint8_t, 32>{}));
}

#ifdef __linux__
// Regression: a connection thread that built a large reply in many small blocks, freed it and
// returned the free memory still held megabytes of it, once a large block freed before had
// made the heap keep that much at its top; sixteen such threads held over 16 MiB.
TEST(PlatformMemory, AThreadsFreedBlocksGoBackToTheSystemAfterALargeBlockWasFreed) {
  if (zyltest::kSanitizedBuild) GTEST_SKIP() << "the sanitizers bring a heap of their own";
  constexpr std::size_t kMiB = 1024 * 1024;
  KeepHeapTopsSmall();
  {
    // Large enough to be mapped on its own; its free raises the heaps' bar unless it is fixed.
    auto large = std::make_unique<char[]>(8 * kMiB);
    large[0] = 1;
  }
  const long before = zyltest::ResidentKiB();
  ASSERT_GT(before, 0);
  std::thread([] {
    std::vector<std::unique_ptr<char[]>> blocks(12 * kMiB / 96);
    for (auto& block : blocks) {
      block = std::make_unique<char[]>(96);
      block[0] = 1;
    }
    blocks.clear();
    ReturnFreeMemory();
  }).join();
  EXPECT_LT(zyltest::ResidentKiB() - before, 4 * 1024);
}
#endif

} // namespace
} // namespace ZYL::platform
