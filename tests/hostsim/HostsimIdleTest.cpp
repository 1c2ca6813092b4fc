// The zyl-hostsim program while nobody types: it sleeps until a line or a stop signal
// comes, and a signal still ends it at once with its ledger.
#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The simulator on a stdin pipe that this test keeps open, its stdout on a pipe.
class IdleSimulator {
public:
  IdleSimulator() {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      execl(ZYL_TEST_HOSTSIM_PATH, ZYL_TEST_HOSTSIM_PATH, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = fdopen(out[0], "r");
  }
  ~IdleSimulator() {
    if (stdout_ != nullptr) std::fclose(stdout_);
    if (stdin_ >= 0) close(stdin_);
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The next stdout line without its line feed; empty at the end of output.
  std::string ReadLine() {
    char buffer[4096];
    if (stdout_ == nullptr || std::fgets(buffer, sizeof buffer, stdout_) == nullptr) return {};
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

  // Times the main thread gave up the CPU of its own accord since it started.
  long MainThreadWaits() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) +
                         "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
        return std::stol(line.substr(line.find(':') + 1));
    return -1;
  }

  // The exit code once the program has ended within `limit`; -1 when it has not.
  int ExitCodeWithin(std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  pid_t Pid() const { return pid_; }

private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  FILE* stdout_ = nullptr;
  bool reaped_ = false;
};

TEST(HostsimIdleTest, WaitsForInputWithoutWakingAndEndsAtOnceOnSigterm) {
  IdleSimulator simulator;
  ASSERT_GT(simulator.Pid(), 0);
  ASSERT_EQ(simulator.ReadLine(), R"({"event":"ready"})");

  // A waiter that looked for a signal every 100 ms would give up the CPU about 15 times.
  const long before = simulator.MainThreadWaits();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const long after = simulator.MainThreadWaits();
  ASSERT_GE(before, 0);
  EXPECT_LE(after - before, 2);

  ASSERT_EQ(kill(simulator.Pid(), SIGTERM), 0);
  EXPECT_EQ(simulator.ReadLine(), R"({"event":"ledger","balanced":true})");
  EXPECT_EQ(simulator.ExitCodeWithin(std::chrono::seconds(10)), 0);
}

} // namespace
#endif
