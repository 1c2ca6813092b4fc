// Pushed traffic for end-to-end tests: subscribing a client, and a host that fires play on /
// play off notifications from a thread of its own so that events reach the subscribers while
// other work goes on.
#pragma once

#include "EngineHarness.h"
#include "WsTestClient.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace zyltest {

// Sends "vitals.subscribe". The subscription has no reply of its own, so a "get.version"
// follows it: commands are handled in order, so its reply proves the subscription is in place.
bool Subscribe(WsTestClient& client);

// The text of the n-th event (from 0) of a TransportToggler: play on, play off, play on...
std::string PlayEvent(int n);

class TransportToggler {
public:
  // Starts firing "play on" and "play off" through `engine`, waiting `pause` after each pair.
  TransportToggler(EngineHarness& engine, std::chrono::microseconds pause);
  ~TransportToggler() { Stop(); }
  TransportToggler(const TransportToggler&) = delete;
  TransportToggler& operator=(const TransportToggler&) = delete;

  // Stops after the pair under way (at least one pair is always fired) and returns the
  // number of events fired in all.
  int Stop();
  // Host commands that the simulator refused.
  int Failures() const noexcept { return failures_.load(); }

private:
  std::atomic<bool> stop_{false};
  std::atomic<int> events_{0};
  std::atomic<int> failures_{0};
  std::thread thread_;
};

} // namespace zyltest
