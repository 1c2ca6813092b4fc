// Runs the zyl-hostsim program itself, the way outside checks use it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

struct ProgramRun {
  int exitCode = -1;
  std::vector<std::string> out;
  std::vector<std::string> err;
};

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);)
    lines.push_back(line);
  return lines;
}

// One argument as the command processor that std::system runs reads it: cmd.exe on
// Windows, sh elsewhere.
std::string Quoted(const std::string& text) {
#ifdef _WIN32
  return "\"" + text + "\"";
#else
  return "'" + text + "'";
#endif
}

// Feeds `input` to the program's stdin and collects its output and exit code.
ProgramRun RunHostsim(const std::string& arguments, const std::string& input) {
  // Named after the test, since tests run side by side and share the temporary folder.
  const std::string dir = ::testing::TempDir() + "hostsim-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string in = dir + "-in.txt", out = dir + "-out.txt", err = dir + "-err.txt";
  std::ofstream(in) << input;
  // cmd.exe takes a path with forward slashes for switches.
  const std::string program =
      std::filesystem::path(ZYL_TEST_HOSTSIM_PATH).make_preferred().string();
  std::string command = Quoted(program) + " " + arguments + " < " + Quoted(in) + " > " +
                        Quoted(out) + " 2> " + Quoted(err);
#ifdef _WIN32
  // cmd.exe /c drops the first and the last quote of a line that starts with one.
  command = "\"" + command + "\"";
#endif
  const int status = std::system(command.c_str());
  ProgramRun run;
#ifdef _WIN32
  run.exitCode = status; // the program's own exit code
#else
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.out = Lines(out);
  run.err = Lines(err);
  return run;
}

std::string ProjectFile(const nlohmann::json& project) {
  const std::string path = ::testing::TempDir() + "hostsim-project-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                           ".json";
  std::ofstream(path) << project.dump();
  return path;
}

TEST(HostsimProgramTest, StartFailuresGiveOneStderrLineAndExitTwo) {
  const std::string malformed = ::testing::TempDir() + "hostsim-malformed-" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                ".json";
  std::ofstream(malformed) << "{\"timelines\": [";
  for (const std::string& arguments :
       {std::string("--project missing.json"), "--project " + malformed, std::string("--frob"),
        std::string("--project"), std::string("--module /nonexistent/module.acsrf")}) {
    const ProgramRun run = RunHostsim(arguments, "quit\n");
    EXPECT_EQ(run.exitCode, 2) << arguments;
    EXPECT_EQ(run.err.size(), 1u) << arguments;
    EXPECT_TRUE(run.out.empty()) << arguments;
  }
}

TEST(HostsimProgramTest, ModuleStartsAndShutsDownBalanced) {
  const ProgramRun run = RunHostsim("", "play on\ntimecode 00:00:01:02 1\nmarker-changed 2\n"
                                        "markers-rebuilt\ndetach\nattach\nedit 3\nquit\n");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_GE(run.out.size(), 2u);
  EXPECT_EQ(run.out.front(), R"({"event":"ready"})");
  for (std::size_t i = 1; i + 1 < run.out.size(); ++i)
    EXPECT_EQ(nlohmann::json::parse(run.out[i])["event"], "ok") << run.out[i];
  EXPECT_EQ(run.out.back(), R"({"event":"ledger","balanced":true})");
}

TEST(HostsimProgramTest, EndOfInputShutsDownLikeQuit) {
  const ProgramRun run = RunHostsim("", "");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 2u);
  EXPECT_EQ(run.out.back(), R"({"event":"ledger","balanced":true})");
}

TEST(HostsimProgramTest, EngineWithoutControlSurfaceHostSuiteStillStartsBalanced) {
  const std::string project = ProjectFile(
      {{"unavailableSuites", {"HOSTSDK ControlSurfaceHost Suite"}}, {"timelines", {{{"id", 3}}}}});
  const ProgramRun run = RunHostsim("--project " + Quoted(project), "quit\n");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 2u);
  EXPECT_EQ(run.out.front(), R"({"event":"ready"})");
  EXPECT_EQ(run.out.back(), R"({"event":"ledger","balanced":true})");
}

} // namespace
