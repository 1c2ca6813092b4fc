// The origin policy as pure functions, and the allow-list file under a temporary APPDATA.
#include "server/OriginPolicy.h"

#include "support/TestEnvironment.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace ZYL {
namespace {

TEST(OriginPolicy, TrimSpaceRemovesOnlySpaceTabCrAndLf) {
  EXPECT_EQ(TrimSpace(" \t\r\nab c\r\n\t "), "ab c");
  EXPECT_EQ(TrimSpace(" \t\r\n"), "");
  EXPECT_EQ(TrimSpace(""), "");
  EXPECT_EQ(TrimSpace("\vx\f"), "\vx\f");
}

TEST(OriginPolicy, ExtractOriginHostKeepsOnlyTheLowerCasedHost) {
  EXPECT_EQ(ExtractOriginHost("https://LocalHost:3000"), "localhost");
  EXPECT_EQ(ExtractOriginHost("http://127.0.0.1:8080/x?y#z"), "127.0.0.1");
  EXPECT_EQ(ExtractOriginHost("http://[::1]:5173"), "[::1]");
  EXPECT_EQ(ExtractOriginHost("http://[::1"), "[::1");
  EXPECT_EQ(ExtractOriginHost("tools.local:99"), "tools.local");
  EXPECT_EQ(ExtractOriginHost("https://a.example.org#frag"), "a.example.org");
  EXPECT_EQ(ExtractOriginHost("https://user@host.example:1"), "user@host.example");
  EXPECT_EQ(ExtractOriginHost("https://"), "");
}

TEST(OriginPolicy, PatternsMatchExactHostsOrStrictSubdomains) {
  EXPECT_TRUE(MatchesHostPattern("localhost", "localhost"));
  EXPECT_FALSE(MatchesHostPattern("localhost2", "localhost"));
  EXPECT_TRUE(MatchesHostPattern("a.example.org", "*.example.org"));
  EXPECT_TRUE(MatchesHostPattern("a.b.example.org", "*.example.org"));
  EXPECT_FALSE(MatchesHostPattern("example.org", "*.example.org"));
  EXPECT_FALSE(MatchesHostPattern(".example.org", "*.example.org"));
  EXPECT_FALSE(MatchesHostPattern("badexample.org", "*.example.org"));
  EXPECT_FALSE(MatchesHostPattern("", "localhost"));
  EXPECT_FALSE(MatchesHostPattern("localhost", ""));
  EXPECT_TRUE(MatchesHostPattern("*.", "*."));
}

TEST(OriginPolicy, BuiltInOriginsAreAcceptedWhateverTheCaseAndPort) {
  const std::string noFile;
  const std::string makerIo(BuiltInAllowList()[3]);
  const std::string makerCom(BuiltInAllowList()[5]);
  for (const std::string& origin :
       {std::string("https://localhost:3000"), std::string("http://127.0.0.1:8080/x"),
        std::string("http://[::1]:5173"), std::string("HTTP://LOCALHOST"), "https://" + makerIo,
        "https://app." + makerIo, "https://" + makerCom, "https://a.b." + makerCom + ":443",
        std::string("")})
    EXPECT_TRUE(IsOriginAllowed(origin, noFile)) << origin;
}

TEST(OriginPolicy, UnlistedHttpOriginsAndNullAreRefused) {
  const std::string noFile;
  for (const char* origin :
       {"null", "NULL", "https://evil.example", "http://localhost.evil.example", "http://[::2]"})
    EXPECT_FALSE(IsOriginAllowed(origin, noFile)) << origin;
}

TEST(OriginPolicy, OtherSchemesAreAcceptedWithoutConsultingTheLists) {
  EXPECT_TRUE(IsOriginAllowed("file://", ""));
  EXPECT_TRUE(IsOriginAllowed("chrome-extension://abcdef", ""));
  EXPECT_TRUE(IsOriginAllowed("ws://evil.example", ""));
}

// A fresh settings folder for each test.
class AllowListFile : public ::testing::Test {
protected:
  void Write(const std::string& text) {
    std::ofstream(settings_.EngineFolder() / "origins.txt", std::ios::binary) << text;
  }
  bool Allowed(std::string_view origin) { return IsOriginAllowed(origin, AllowListFilePath()); }

  zyltest::ScopedSettingsFolder settings_{
      std::string("origins-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(AllowListFile, PathIsBelowTheSettingsFolder) {
  EXPECT_EQ(AllowListFilePath(), (settings_.EngineFolder() / "origins.txt").string());
}

TEST_F(AllowListFile, EntriesAdmitHostsPatternsFullUrlsAndNull) {
  Write("# tools of the studio\r\n"
        "  Tools.Local  \r\n"
        "*.example.org # every subdomain\n"
        "https://tools.example.net:8443/path # test tools\n"
        "\t\n"
        "null\n"
        "ports.local:8080\n");
  EXPECT_TRUE(Allowed("http://tools.local"));
  EXPECT_TRUE(Allowed("https://app.example.org"));
  EXPECT_FALSE(Allowed("https://example.org"));
  EXPECT_FALSE(Allowed("https://badexample.org"));
  EXPECT_TRUE(Allowed("http://tools.example.net"));
  EXPECT_TRUE(Allowed("null"));
  // Hosts are compared without their port, so an entry with a port but no scheme never matches.
  EXPECT_FALSE(Allowed("http://ports.local:8080"));
  EXPECT_FALSE(Allowed("https://other.example"));
}

TEST_F(AllowListFile, EditsApplyToTheNextCheck) {
  EXPECT_FALSE(Allowed("https://late.example"));
  Write("late.example\n");
  EXPECT_TRUE(Allowed("https://late.example"));
}

// Regression: the file was read to its end whatever its size, and a link to an endless
// device grew the process by gigabytes on one handshake. Past 1 MiB, and anything but a
// regular file, the file counts as empty.
TEST_F(AllowListFile, AFileThatIsNoRegularFileOrLargerThanOneMebibyteCountsAsEmpty) {
  Write("tools.local\n" + std::string(1024 * 1024, '#'));
  EXPECT_FALSE(Allowed("http://tools.local"));
  Write("tools.local\n" + std::string(1024 * 1024 - 12, '#'));
  EXPECT_TRUE(Allowed("http://tools.local"));
#ifndef _WIN32
  const std::filesystem::path file = settings_.EngineFolder() / "origins.txt";
  std::filesystem::remove(file);
  std::filesystem::create_symlink("/dev/zero", file);
  EXPECT_FALSE(Allowed("http://tools.local"));
#endif
}

TEST_F(AllowListFile, MissingFileOrNoSettingsFolderAdmitsNothingExtra) {
  EXPECT_FALSE(Allowed("null"));
  EXPECT_TRUE(Allowed("http://localhost"));
  EXPECT_FALSE(AllowListFileAdmits("", "null"));
}

} // namespace
} // namespace ZYL

namespace ZYL {
namespace {

TEST(AllowListEntries, OnlyEntriesThatCanNeverMatchAreNamed) {
  for (const char* line :
       {"", "# only a comment", "tools.local", "*.example.org", "null", "[::1]",
        "https://tools.example.org:8443/path # test tools", "HTTP://Studio.LAN:8000"})
    EXPECT_EQ(UnmatchableEntryProblem(line), "") << line;
  for (const char* line : {"studio.lan:8000", "[::1]:5173", "studio.lan/app", "https://",
                           "user@studio.lan", "http://user@studio.lan"})
    EXPECT_NE(UnmatchableEntryProblem(line), "") << line;
  EXPECT_EQ(UnmatchableEntryProblem("  studio.lan:8000  # the studio"),
            "a port is only read after a scheme (write http://studio.lan:8000)");
}

} // namespace
} // namespace ZYL
