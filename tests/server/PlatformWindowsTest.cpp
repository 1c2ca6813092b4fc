// What the Windows platform layer decides on its own: where the allow-list lives, the idle
// time source, and how Winsock receives, times out and wakes a blocked reader.
#ifdef _WIN32

#include "platform/Platform.h"

// winsock2.h must come before windows.h, which would otherwise pull in the old winsock.h.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>

namespace ZYL::platform {
namespace {

// Sets APPDATA for one test and puts the previous value back afterwards.
class ScopedAppData {
public:
  explicit ScopedAppData(const char* value) {
    char previous[MAX_PATH * 4] = {};
    const DWORD length = GetEnvironmentVariableA("APPDATA", previous, sizeof previous);
    if (length > 0 && length < sizeof previous) previous_ = std::string(previous, length);
    SetEnvironmentVariableA("APPDATA", value);
  }
  ~ScopedAppData() { SetEnvironmentVariableA("APPDATA", previous_ ? previous_->c_str() : nullptr); }
  ScopedAppData(const ScopedAppData&) = delete;
  ScopedAppData& operator=(const ScopedAppData&) = delete;

private:
  std::optional<std::string> previous_;
};

// The host may change its environment after the C runtime copied it at start-up; the
// allow-list must follow the live process environment.
TEST(PlatformWindowsSettings, FolderFollowsTheLiveAppDataVariable) {
  const ScopedAppData appData("C:\\Users\\editor\\AppData\\Roaming");
  EXPECT_EQ(SettingsFolder(), "C:\\Users\\editor\\AppData\\Roaming");
  EXPECT_EQ(SettingsFolder() + PathSeparator() + "ZYL Engine" + PathSeparator() + "origins.txt",
            "C:\\Users\\editor\\AppData\\Roaming\\ZYL Engine\\origins.txt");
}

TEST(PlatformWindowsSettings, NoFolderWhenAppDataIsUnsetOrEmpty) {
  {
    const ScopedAppData unset(nullptr);
    EXPECT_EQ(SettingsFolder(), "");
  }
  const ScopedAppData empty("");
  EXPECT_EQ(SettingsFolder(), "");
}

// A path longer than MAX_PATH must come back whole, not cut at a fixed buffer.
TEST(PlatformWindowsSettings, LongFolderComesBackWhole) {
  const std::string longFolder = "D:\\" + std::string(400, 'x');
  const ScopedAppData appData(longFolder.c_str());
  EXPECT_EQ(SettingsFolder(), longFolder);
}

// GetLastInputInfo rejects a structure whose size field is wrong, which would leave the
// vitals record without idle time.
TEST(PlatformWindowsIdle, SystemReportsTheTimeSinceTheLastInput) {
  const std::optional<std::uint32_t> idle = IdleMilliseconds();
  ASSERT_TRUE(idle.has_value());
  LASTINPUTINFO lastInput{};
  lastInput.cbSize = sizeof lastInput;
  ASSERT_TRUE(GetLastInputInfo(&lastInput));
  const DWORD sinceInput = GetTickCount() - lastInput.dwTime;
  // Read a moment later, the system's own difference can only have grown.
  EXPECT_LE(*idle, sinceInput);
}

// A client connected to a listener on 127.0.0.1:7890, and the server's end of it.
class LoopbackPair : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(StartNetworking());
    listener_ = OpenLoopbackListener(7890, 4);
    ASSERT_NE(listener_, kNoSocket);
    client_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(client_, INVALID_SOCKET);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(7890);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(WaitReadable(listener_, 10000), WaitResult::Ready);
    server_ = Accept(listener_);
    ASSERT_NE(server_, kNoSocket);
  }
  void TearDown() override {
    if (client_ != INVALID_SOCKET) ::closesocket(client_);
    if (server_ != kNoSocket) CloseSocket(server_);
    if (listener_ != kNoSocket) CloseSocket(listener_);
  }
  void ClientSends(const char* bytes) {
    const int length = static_cast<int>(std::char_traits<char>::length(bytes));
    ASSERT_EQ(::send(client_, bytes, length, 0), length);
  }

  Socket listener_ = kNoSocket;
  Socket server_ = kNoSocket;
  SOCKET client_ = INVALID_SOCKET;
};

// The frame reader asks for a header, a length or a payload at once; a receive that came
// back with the first piece only would cut frames apart.
TEST_F(LoopbackPair, WaitAllReceiveGathersBytesThatArriveInPieces) {
  std::thread sender([this] {
    ClientSends("he");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ClientSends("llo");
  });
  std::array<char, 5> buffer{};
  const std::ptrdiff_t got = Receive(server_, buffer.data(), buffer.size(), true);
  sender.join();
  EXPECT_EQ(got, 5);
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), "hello");
}

TEST_F(LoopbackPair, WaitReportsTimeOutDataAndTheShutDownPeer) {
  EXPECT_EQ(WaitReadable(server_, 10), WaitResult::TimedOut);
  ClientSends("x");
  EXPECT_EQ(WaitReadable(server_, 10000), WaitResult::Ready);
  char byte = 0;
  EXPECT_EQ(Receive(server_, &byte, 1, false), 1);
  ::shutdown(client_, SD_SEND);
  EXPECT_EQ(WaitReadable(server_, 10000), WaitResult::Ready);
  EXPECT_EQ(Receive(server_, &byte, 1, true), 0);
}

// The server shuts a connection down to wake its blocked reader at stop.
TEST_F(LoopbackPair, ShutdownWakesABlockedReceive) {
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ShutdownBoth(server_);
  });
  char byte = 0;
  EXPECT_LE(Receive(server_, &byte, 1, true), 0);
  stopper.join();
}

} // namespace
} // namespace ZYL::platform

#endif
