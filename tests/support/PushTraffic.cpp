#include "PushTraffic.h"

namespace zyltest {

bool Subscribe(WsTestClient& client) {
  return client.SendText("vitals.subscribe") && client.SendText("get.version") &&
         client.ReceiveText(Millis(10000)) == "version:1.2.4";
}

std::string PlayEvent(int n) {
  return n % 2 == 0 ? R"(event:transport:{"type":"play","on":true})"
                    : R"(event:transport:{"type":"play","on":false})";
}

TransportToggler::TransportToggler(EngineHarness& engine, std::chrono::microseconds pause)
    : thread_([this, &engine, pause] {
        do {
          if (!engine.Execute("play on")) ++failures_;
          if (!engine.Execute("play off")) ++failures_;
          events_ += 2;
          // Waited out on the clock: some thread libraries return from a sleep this short at
          // once, which would turn a steady host into a flood.
          const auto until = std::chrono::steady_clock::now() + pause;
          while (std::chrono::steady_clock::now() < until && !stop_.load())
            std::this_thread::yield();
        } while (!stop_.load());
      }) {}

int TransportToggler::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return events_.load();
}

} // namespace zyltest
