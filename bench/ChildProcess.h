// A program the bench starts and talks to through its standard input and output: the Node
// peer, and the simulator whose memory is read. Closing its input ends it; a child that
// does not end soon after is terminated by its own process id.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace zylbench {

class ChildProcess {
public:
  // Starts `argv[0]` (looked up on PATH) with `argv`; Running() is false when that failed.
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running() const noexcept { return pid_ > 0; }
  pid_t Pid() const noexcept { return pid_; }

  // The next line of its output without the newline; false on end or after the time-out.
  bool ReadLine(std::string& line, int timeoutMilliseconds);
  // Reads lines until one contains `needle`; false on end or after the time-out.
  bool WaitForLine(const std::string& needle, int timeoutMilliseconds);
  bool WriteLine(const std::string& line);
  // Closes its input and waits for it; terminates it if it is still there after a while.
  void Stop();

private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;
};

} // namespace zylbench
