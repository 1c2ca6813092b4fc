#include "StopSignals.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace zylsim {

namespace {

std::atomic<bool> stopSignalled{false};
std::mutex wakeLock;
std::function<void()> wakeOnStop;

void Stop() {
  stopSignalled = true;
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(wakeLock);
    wake = std::move(wakeOnStop);
    wakeOnStop = nullptr;
  }
  if (wake) wake();
}

#ifdef _WIN32
// The runtime calls a console signal handler on a thread of its own, where locking is safe.
extern "C" void OnSignal(int) { Stop(); }
#endif

} // namespace

void CatchStopSignals() {
#ifdef _WIN32
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
#else
  // Every thread blocks the two signals and one thread waits for them: a handler could not
  // take the lock that the wake-up needs.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::thread([stopSignals] {
    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    Stop();
  }).detach();
#endif
}

bool StopSignalled() noexcept { return stopSignalled; }

void OnStopSignal(std::function<void()> wake) {
  {
    std::lock_guard<std::mutex> lock(wakeLock);
    if (!stopSignalled) {
      wakeOnStop = std::move(wake);
      return;
    }
  }
  if (wake) wake();
}

} // namespace zylsim
