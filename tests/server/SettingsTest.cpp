// The settings file from bytes (what it admits, what it refuses and where), the file on disk
// under a temporary APPDATA, and the 500 reply that a broken file earns every handshake.
#include "server/Settings.h"

#include "server/ServerErrorReply.h"
#include "support/TestEnvironment.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <variant>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ZYL {
namespace {

Settings Parsed(std::string_view text) {
  SettingsResult result = ParseSettings(text);
  if (const auto* error = std::get_if<SettingsError>(&result))
    ADD_FAILURE() << "refused " << text << ": " << error->problem;
  return std::holds_alternative<Settings>(result) ? std::get<Settings>(result) : Settings{};
}

std::string Problem(std::string_view text) {
  SettingsResult result = ParseSettings(text);
  if (const auto* error = std::get_if<SettingsError>(&result)) return error->problem;
  return "accepted";
}

TEST(SettingsText, PasswordDecidesAuthenticationAndTheTextProtocolDefault) {
  struct Case {
    std::string_view text;
    bool authentication;
    bool textProtocol;
  };
  const Case cases[] = {
      {"{}", false, true},
      {R"({"password": ""})", false, true},
      {R"({"password": "a long secret"})", true, false},
      {R"({"password": "a long secret", "textProtocol": true})", true, true},
      {R"({"textProtocol": false})", false, false},
      {R"({"password": "", "textProtocol": false})", false, false},
      // The last of duplicate members counts.
      {R"({"password": "x", "password": ""})", false, true},
      // A byte-order mark, as editors on Windows write one, is not a fault.
      {"\xEF\xBB\xBF{\"password\": \"s\"}", true, false},
  };
  for (const Case& c : cases) {
    const Settings settings = Parsed(c.text);
    EXPECT_EQ(settings.RequiresAuthentication(), c.authentication) << c.text;
    EXPECT_EQ(settings.AdmitsTextProtocol(), c.textProtocol) << c.text;
  }
}

TEST(SettingsText, PasswordIsKeptAsItsUtf8BytesUnaltered) {
  EXPECT_EQ(Parsed(R"({"password": "caf\u00e9 \"q\" \\"})").password, "caf\xC3\xA9 \"q\" \\");
  EXPECT_EQ(Parsed("{\"password\": \"Cafe\xCC\x81\"}").password, "Cafe\xCC\x81");
}

TEST(SettingsText, UnknownMembersWrongTypesAndNonObjectsAreRefused) {
  EXPECT_EQ(Problem(R"({"pasword": "x"})"), "unknown member \"pasword\"");
  EXPECT_EQ(Problem(R"({"password": 5})"), "\"password\" must be a string");
  EXPECT_EQ(Problem(R"({"password": null})"), "\"password\" must be a string");
  EXPECT_EQ(Problem(R"({"textProtocol": "false"})"), "\"textProtocol\" must be true or false");
  EXPECT_EQ(Problem(R"({"textProtocol": 0})"), "\"textProtocol\" must be true or false");
  EXPECT_EQ(Problem(R"(["password"])"), "the file must hold one JSON object");
  EXPECT_EQ(Problem("\"password\""), "the file must hold one JSON object");
}

TEST(SettingsText, SyntaxErrorsNameLineAndColumn) {
  struct Case {
    std::string_view text;
    std::string_view where;
  };
  const Case cases[] = {
      {"", "line 1, column 1"},
      // The parser gives up on the byte that ends the broken literal.
      {"{\n  \"password\": tru\n}", "line 2, column 18"},
      {"{\n  \"password\": \"x\",\n}", "line 3, column 1"},
      {"{\"password\": \"x\"", "line 1, column 17"},
      {"{\"password\": \"x\"} {}", "line 1, column 19"},
      // Columns count characters, not bytes: "é" is two bytes and one column.
      {"{\"password\": \"\xC3\xA9\" x}", "line 1, column 18"},
      // A string that is not UTF-8 cannot be a password the client could type.
      {"{\"password\": \"\xFF\"}", "line 1, column 15"},
  };
  for (const Case& c : cases) {
    const std::string problem = Problem(c.text);
    EXPECT_EQ(problem.rfind("syntax error at ", 0), 0U) << c.text << " -> " << problem;
    EXPECT_NE(problem.find(c.where), std::string::npos) << c.text << " -> " << problem;
  }
}

TEST(SettingsText, DeepNestingIsRefusedWithoutBuildingIt) {
  const std::string deep = "{\"password\": " + std::string(100000, '[');
  EXPECT_NE(Problem(deep).find("nested deeper than"), std::string::npos);
}

// A fresh settings folder for each test.
class SettingsFile : public ::testing::Test {
protected:
  std::filesystem::path FilePath() const { return settings_.EngineFolder() / "settings.json"; }
  void Write(const std::string& text) { std::ofstream(FilePath(), std::ios::binary) << text; }

  zyltest::ScopedSettingsFolder settings_{
      std::string("settings-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(SettingsFile, PathIsBesideTheAllowListFile) {
  EXPECT_EQ(SettingsFilePath(), FilePath().string());
}

TEST_F(SettingsFile, NoFileOrNoSettingsFolderGivesTheDefaults) {
  for (const std::string& path : {SettingsFilePath(), std::string()}) {
    const SettingsResult result = ReadSettingsFile(path);
    ASSERT_TRUE(std::holds_alternative<Settings>(result)) << path;
    EXPECT_FALSE(std::get<Settings>(result).RequiresAuthentication());
    EXPECT_TRUE(std::get<Settings>(result).AdmitsTextProtocol());
  }
}

TEST_F(SettingsFile, AFileIsReadAnewEachTime) {
  Write(R"({"password": "one"})");
  EXPECT_EQ(std::get<Settings>(ReadSettingsFile(SettingsFilePath())).password, "one");
  Write(R"({"password": "two"})");
  EXPECT_EQ(std::get<Settings>(ReadSettingsFile(SettingsFilePath())).password, "two");
}

// A reading may be kept between handshakes only while nothing it depends on changed: each edit
// below, made as editors and users make them, is read by the very next read.
TEST_F(SettingsFile, EveryWayOfChangingTheFileIsSeenByTheNextRead) {
  const auto password = [&] {
    const SettingsResult result = ReadSettingsFile(SettingsFilePath());
    return std::holds_alternative<Settings>(result) ? std::get<Settings>(result).password
                                                    : std::string("<refused>");
  };
  const auto writeAt = [](const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  };
  Write(R"({"password": "a"})");
  EXPECT_EQ(password(), "a");
  EXPECT_EQ(password(), "a");
  Write(R"({"password": "b"})"); // same size, likely the same time stamp
  EXPECT_EQ(password(), "b");
  // Saved beside and renamed over, as most editors save.
  writeAt(settings_.EngineFolder() / "settings.json.new", R"({"password": "c"})");
  std::filesystem::rename(settings_.EngineFolder() / "settings.json.new", FilePath());
  EXPECT_EQ(password(), "c");
  std::filesystem::remove(FilePath());
  EXPECT_EQ(password(), "");
  // The engine's folder removed, then made again with a file in it.
  std::filesystem::remove_all(settings_.EngineFolder());
  EXPECT_EQ(password(), "");
  std::filesystem::create_directories(settings_.EngineFolder());
  Write(R"({"password": "d"})");
  EXPECT_EQ(password(), "d");
  // Another folder moved into the engine folder's place.
  const std::filesystem::path other = settings_.Root() / "other";
  std::filesystem::create_directories(other);
  writeAt(other / "settings.json", R"({"password": "e"})");
  std::filesystem::rename(settings_.EngineFolder(), settings_.Root() / "old");
  std::filesystem::rename(other, settings_.EngineFolder());
  EXPECT_EQ(password(), "e");
  // The file as a second name of a file in another folder, written there.
  const std::filesystem::path elsewhere = settings_.Root() / "away" / "elsewhere.json";
  std::filesystem::create_directories(elsewhere.parent_path());
  writeAt(elsewhere, R"({"password": "f"})");
  std::filesystem::remove(FilePath());
  std::filesystem::create_hard_link(elsewhere, FilePath());
  EXPECT_EQ(password(), "f");
  writeAt(elsewhere, R"({"password": "g"})");
  EXPECT_EQ(password(), "g");
  // The file as a link to a file in another folder, written there.
  std::filesystem::remove(FilePath());
  if (!zyltest::MakeSymbolicLink(elsewhere, FilePath())) return;
  EXPECT_EQ(password(), "g");
  writeAt(elsewhere, R"({"password": "h"})");
  EXPECT_EQ(password(), "h");
}

TEST_F(SettingsFile, ABrokenFileFailsClosedNamingTheFileAndThePlace) {
  Write("{\n  \"password\": \"x\"\n  \"textProtocol\": true\n}");
  const SettingsResult result = ReadSettingsFile(SettingsFilePath());
  ASSERT_TRUE(std::holds_alternative<SettingsError>(result));
  const std::string& problem = std::get<SettingsError>(result).problem;
  EXPECT_NE(problem.find(FilePath().string()), std::string::npos) << problem;
  EXPECT_NE(problem.find("line 3, column 16"), std::string::npos) << problem;
}

TEST_F(SettingsFile, AFileThatCannotBeReadFailsClosed) {
  // A folder where the file should be: present, but nothing a settings file can be read from.
  std::filesystem::create_directories(FilePath());
  const SettingsResult result = ReadSettingsFile(SettingsFilePath());
  ASSERT_TRUE(std::holds_alternative<SettingsError>(result));
  EXPECT_NE(std::get<SettingsError>(result).problem.find(FilePath().string()), std::string::npos);
}

// Whether reading the file fails closed with a problem that names the file and `words`.
void ExpectFailsClosed(const std::string& path, std::string_view words) {
  const SettingsResult result = ReadSettingsFile(path);
  ASSERT_TRUE(std::holds_alternative<SettingsError>(result)) << path;
  const std::string& problem = std::get<SettingsError>(result).problem;
  EXPECT_NE(problem.find(path), std::string::npos) << problem;
  EXPECT_NE(problem.find(words), std::string::npos) << problem;
}

// Regression: a link whose target is on a drive that is not mounted was taken for "no file",
// which turned the password off and admitted the text protocol.
TEST_F(SettingsFile, ALinkThatLeadsNowhereFailsClosed) {
  if (!zyltest::MakeSymbolicLink(settings_.Root() / "unmounted" / "settings.json", FilePath()))
    GTEST_SKIP() << "no symbolic links here";
  ExpectFailsClosed(SettingsFilePath(), "leads nowhere");

  // So does the engine's folder as such a link, and the file missing below a real folder
  // is still no file.
  std::filesystem::remove(FilePath());
  std::filesystem::remove(settings_.EngineFolder());
  ASSERT_TRUE(
      zyltest::MakeSymbolicLink(settings_.Root() / "unmounted", settings_.EngineFolder(), true));
  ExpectFailsClosed(SettingsFilePath(), "leads nowhere");
  std::filesystem::create_directories(settings_.Root() / "unmounted");
  EXPECT_TRUE(std::holds_alternative<Settings>(ReadSettingsFile(SettingsFilePath())));
}

#ifndef _WIN32
// Regression: a pipe as the settings file held the handshake in open() until a writer came,
// and with it every stop of the engine. A pipe, a device and a link to one are not read at
// all.
TEST_F(SettingsFile, PipesAndDevicesFailClosedAtOnce) {
  ASSERT_EQ(::mkfifo(FilePath().c_str(), 0600), 0);
  // Lets an open that waits for a writer go on after a while, so that the fault shows as a
  // slow answer instead of a test that never ends.
  std::promise<void> answered;
  std::thread writer([path = FilePath(), late = answered.get_future()] {
    late.wait_for(std::chrono::seconds(5));
    const int end = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (end >= 0) ::close(end);
  });
  const auto start = std::chrono::steady_clock::now();
  ExpectFailsClosed(SettingsFilePath(), "not a regular file");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  answered.set_value();
  writer.join();

  std::filesystem::remove(FilePath());
  std::filesystem::create_symlink("/dev/zero", FilePath());
  ExpectFailsClosed(SettingsFilePath(), "not a regular file");
}
#endif

TEST(ServerErrorReply, IsA500ThatClosesAndCarriesTheBody) {
  EXPECT_EQ(ServerErrorReply("settings file \"s.json\": bad"),
            "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n"
            "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 27\r\n\r\n"
            "settings file \"s.json\": bad");
}

} // namespace
} // namespace ZYL
