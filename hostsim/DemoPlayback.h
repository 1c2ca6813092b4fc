// --demo: the editor playing its project by itself, so that a connected client sees live
// pushes without anyone typing.
#pragma once

#include "EngineSession.h"
#include "ProjectStore.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace zylsim {

class DemoPlayback {
public:
  // Each step takes `lifecycle`, which serialises it with the stdin commands.
  DemoPlayback(std::mutex& lifecycle, EngineSession& session, ProjectStore& store)
      : lifecycle_(lifecycle), session_(session), store_(store) {}
  ~DemoPlayback() { Stop(); }
  DemoPlayback(const DemoPlayback&) = delete;
  DemoPlayback& operator=(const DemoPlayback&) = delete;

  void Start();
  // Returns once the playback thread has ended; prompt whatever it was doing.
  void Stop();

private:
  void Run();
  // False when Stop was asked for during the wait.
  bool Wait(std::chrono::milliseconds duration);

  std::mutex& lifecycle_;
  EngineSession& session_;
  ProjectStore& store_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

} // namespace zylsim
