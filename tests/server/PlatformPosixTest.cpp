// What only the POSIX platform layer decides: where settings live, no idle-time source,
// and no SIGPIPE when a peer has gone.
#ifndef _WIN32

#include "platform/Platform.h"

#include <array>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace ZYL::platform {
namespace {

// Sets or clears environment variables for one test and restores them afterwards.
class ScopedEnvironment {
public:
  void Set(const char* name, const char* value) {
    if (!saved_.contains(name)) {
      const char* previous = std::getenv(name);
      saved_[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
    }
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(PlatformPosix, SettingsFolderPrefersAppDataThenXdgThenHome) {
  ScopedEnvironment environment;
  environment.Set("APPDATA", "/appdata");
  environment.Set("XDG_CONFIG_HOME", "/xdg");
  environment.Set("HOME", "/home/editor");
  EXPECT_EQ(SettingsFolder(), "/appdata");
  environment.Set("APPDATA", "");
  EXPECT_EQ(SettingsFolder(), "/xdg");
  environment.Set("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(SettingsFolder(), "/home/editor/.config");
  environment.Set("HOME", nullptr);
  EXPECT_EQ(SettingsFolder(), "");
  EXPECT_EQ(PathSeparator(), '/');
}

// Regression: a send to a peer that has gone raised SIGPIPE, which ends the host process.
TEST(PlatformPosix, SendingToAClosedPeerFailsWithoutSigpipe) {
  std::array<int, 2> ends{};
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends.data()), 0);
  ::close(ends[1]);
  const char byte = 'x';
  EXPECT_LT(SendSome(ends[0], &byte, 1), 0);
  CloseSocket(ends[0]);
}

TEST(PlatformPosix, WaitReadableTimesOutReportsDataAndHangUp) {
  std::array<int, 2> ends{};
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends.data()), 0);
  EXPECT_EQ(WaitReadable(ends[0], 10), WaitResult::TimedOut);
  ASSERT_EQ(::send(ends[1], "ab", 2, 0), 2);
  EXPECT_EQ(WaitReadable(ends[0], 1000), WaitResult::Ready);
  std::array<char, 4> buffer{};
  EXPECT_EQ(Receive(ends[0], buffer.data(), 2, true), 2);
  ::close(ends[1]);
  EXPECT_EQ(WaitReadable(ends[0], 1000), WaitResult::Ready);
  EXPECT_EQ(Receive(ends[0], buffer.data(), 2, true), 0);
  CloseSocket(ends[0]);
}

} // namespace
} // namespace ZYL::platform

#endif
