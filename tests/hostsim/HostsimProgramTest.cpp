// Runs the zyl-hostsim program itself, the way outside checks use it.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include "support/WsTestClient.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
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

TEST(HostsimProgramTest, EndOfInputIsSaidOnStderrAndQuitIsNot) {
  ProgramRun run = RunHostsim("", "");
  ASSERT_EQ(run.err.size(), 1u);
  EXPECT_NE(run.err[0].find("standard input ended"), std::string::npos) << run.err[0];
  EXPECT_NE(run.err[0].find("--serve"), std::string::npos) << run.err[0];
  run = RunHostsim("", "quit\n");
  EXPECT_TRUE(run.err.empty());
}

TEST(HostsimProgramTest, FilesThatCannotBeReadNameTheSystemsReason) {
  ProgramRun run = RunHostsim("--project /nonexistent/project.json", "quit\n");
  EXPECT_EQ(run.err, std::vector<std::string>{"zyl-hostsim: cannot read project file "
                                              "/nonexistent/project.json: No such file or "
                                              "directory"});
  run = RunHostsim("--check /nonexistent/project.json", "");
  EXPECT_EQ(run.err, std::vector<std::string>{"zyl-hostsim: cannot read project file "
                                              "/nonexistent/project.json: No such file or "
                                              "directory"});
  run = RunHostsim("--script /nonexistent/script.txt", "quit\n");
  EXPECT_EQ(run.err, std::vector<std::string>{"zyl-hostsim: cannot read script file "
                                              "/nonexistent/script.txt: No such file or "
                                              "directory"});
}

#ifndef _WIN32
// --serve reads nothing: with stdin at its end already it runs until SIGTERM, then prints the
// ledger as quit does.
TEST(HostsimProgramTest, ServeRunsWithoutInputUntilSigterm) {
  const std::string out = ::testing::TempDir() + "hostsim-serve-out.txt";
  std::remove(out.c_str());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!std::freopen("/dev/null", "r", stdin) || !std::freopen(out.c_str(), "w", stdout))
      std::_Exit(99);
    execl(ZYL_TEST_HOSTSIM_PATH, ZYL_TEST_HOSTSIM_PATH, "--serve", static_cast<char*>(nullptr));
    std::_Exit(98);
  }
  // The engine answers once the simulator is ready; without --serve it would have ended.
  zyltest::WsTestClient client;
  const bool reached = client.Open(zyltest::Millis(30000));
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "ended without a signal";
  kill(child, SIGTERM);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(reached);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::vector<std::string> lines = Lines(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), R"({"event":"ready"})");
  EXPECT_EQ(lines.back(), R"({"event":"ledger","balanced":true})");
}
#endif

TEST(HostsimProgramTest, EngineWithoutControlSurfaceHostSuiteStillStartsBalanced) {
  const std::string project = ProjectFile(
      {{"unavailableSuites", {"HOSTSDK ControlSurfaceHost Suite"}}, {"timelines", {{{"id", 3}}}}});
  const ProgramRun run = RunHostsim("--project " + Quoted(project), "quit\n");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 2u);
  EXPECT_EQ(run.out.front(), R"({"event":"ready"})");
  EXPECT_EQ(run.out.back(), R"({"event":"ledger","balanced":true})");
}

TEST(HostsimProgramTest, HelpListsEveryOptionAndCommandAndExitsZero) {
  const ProgramRun run = RunHostsim("--help", "");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.err.empty());
  std::string text;
  for (const std::string& line : run.out)
    text += line + "\n";
  for (const char* word : {"--project FILE",   "--serve",
                           "--module PATH",    "--demo",
                           "--script FILE",    "--check FILE",
                           "--help",           "stop on|off",
                           "play on|off",      "record on|off",
                           "rewind on|off",    "ffwd on|off",
                           "pause on|off",     "timecode TEXT [MODE]",
                           "marker-changed N", "markers-rebuilt",
                           "set KEY JSON",     "load FILE",
                           "edit ID",          "cut ID TICKS",
                           "detach",           "attach",
                           "sleep MS",         "quit"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

// --check reads the project only: a module that does not exist is never looked for.
TEST(HostsimProgramTest, CheckValidatesWithoutLoadingTheModule) {
  const std::string good = ProjectFile({{"timelines", {{{"id", 3}}}}});
  ProgramRun run = RunHostsim("--module /nonexistent/module.acsrf --check " + Quoted(good), "");
  EXPECT_EQ(run.exitCode, 0);
  // One line, so that a check that passed is told from one that did nothing.
  EXPECT_EQ(run.out, std::vector<std::string>{"zyl-hostsim: project file " + good + " is valid"});
  EXPECT_TRUE(run.err.empty());

  const std::string bad =
      ProjectFile({{"timelines", {{{"id", 3}, {"sequence", {{"rect", {0, 0, -1280, 720}}}}}}}});
  for (const std::string option : {"--check ", "--project "}) {
    run = RunHostsim("--module /nonexistent/module.acsrf " + option + Quoted(bad), "quit\n");
    EXPECT_EQ(run.exitCode, 2) << option;
    EXPECT_TRUE(run.out.empty()) << option;
    ASSERT_EQ(run.err.size(), 1u) << option;
    EXPECT_NE(run.err[0].find(bad + ": timelines[0].sequence.rect[2]"), std::string::npos)
        << run.err[0];
  }
}

TEST(HostsimProgramTest, LoadOfABadFileIsAnErrorLineAndTheSimulatorGoesOn) {
  const std::string bad = ProjectFile({{"ticksPerSecond", -1}});
  const ProgramRun run = RunHostsim("", "load " + bad + "\nplay on\nquit\n");
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 4u);
  const nlohmann::json error = nlohmann::json::parse(run.out[1]);
  EXPECT_EQ(error["event"], "error");
  EXPECT_NE(error["reason"].get<std::string>().find("ticksPerSecond: must be positive"),
            std::string::npos)
      << run.out[1];
  EXPECT_EQ(run.out[2], R"({"event":"ok","command":"play on"})");
  EXPECT_EQ(run.out.back(), R"({"event":"ledger","balanced":true})");
}

TEST(HostsimProgramTest, ScriptRunsBeforeStdinWithTheSameEventLinesAndSleeps) {
  const std::string script = ::testing::TempDir() + "hostsim-script.txt";
  // Binary, so that the one CR is written as given on every platform.
  std::ofstream(script, std::ios::binary)
      << "play on\r\n# a comment\n\nsleep 300\nsleep soon\nplay off\n";
  const auto started = std::chrono::steady_clock::now();
  const ProgramRun run = RunHostsim("--script " + Quoted(script), "timecode 00:00:01:00\nquit\n");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300));
  EXPECT_EQ(run.exitCode, 0);
  const std::vector<std::string> expected = {
      R"({"event":"ready"})",
      R"({"event":"ok","command":"play on"})",
      R"({"event":"ok","command":"sleep 300"})",
      R"({"event":"error","command":"sleep soon","reason":"bad milliseconds \"soon\""})",
      R"({"event":"ok","command":"play off"})",
      R"({"event":"ok","command":"timecode 00:00:01:00"})",
      R"({"event":"ledger","balanced":true})"};
  EXPECT_EQ(run.out, expected);
}

TEST(HostsimProgramTest, ScriptThatQuitsEndsTheRunAndAMissingScriptIsAStartFailure) {
  const std::string script = ::testing::TempDir() + "hostsim-quitting-script.txt";
  std::ofstream(script) << "detach\nquit\nattach\n";
  ProgramRun run = RunHostsim("--script " + Quoted(script), "play on\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, (std::vector<std::string>{R"({"event":"ready"})",
                                               R"({"event":"ok","command":"detach"})",
                                               R"({"event":"ledger","balanced":true})"}));
  run = RunHostsim("--script /nonexistent/script.txt", "quit\n");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err.size(), 1u);
  EXPECT_TRUE(run.out.empty());
}

} // namespace
