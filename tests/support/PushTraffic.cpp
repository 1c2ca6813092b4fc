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
          std::this_thread::sleep_for(pause);
        } while (!stop_.load());
      }) {}

int TransportToggler::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return events_.load();
}

} // namespace zyltest
