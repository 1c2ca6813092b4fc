#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zylbench {

namespace {

constexpr int kExitWaitMilliseconds = 3000;

bool WaitForExit(pid_t pid, int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int toChild[2];
  int fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0) return;
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    ::close(toChild[0]);
    ::close(toChild[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  input_ = toChild[1];
  output_ = fromChild[0];
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::ReadLine(std::string& line, int timeoutMilliseconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  for (;;) {
    if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0 || output_ < 0) return false;
    pollfd entry{output_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[4096];
    const ssize_t got = ::read(output_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    pending_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool ChildProcess::WaitForLine(const std::string& needle, int timeoutMilliseconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  std::string line;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (!ReadLine(line, static_cast<int>(left))) return false;
    if (line.find(needle) != std::string::npos) return true;
  }
  return false;
}

bool ChildProcess::WriteLine(const std::string& line) {
  const std::string text = line + "\n";
  return input_ >= 0 &&
         ::write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::Stop() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (pid_ > 0 && !WaitForExit(pid_, kExitWaitMilliseconds)) {
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(pid_, kExitWaitMilliseconds)) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  pid_ = -1;
  if (output_ >= 0) ::close(output_);
  output_ = -1;
}

} // namespace zylbench
