// The engine as the editor runs it: the built module inside an in-process simulator, with
// the demo project carrying 50 host commands. Its server listens on 127.0.0.1:7890.
#pragma once

#include "Simulator.h"

#include <cstdint>
#include <nlohmann/json.hpp>

namespace zylbench {

inline constexpr std::uint16_t kEnginePort = 7890;
inline constexpr int kHostCommands = 50;

// The demo project with its command list grown to kHostCommands entries.
nlohmann::json BenchProject();

class EngineHost {
public:
  EngineHost();
  ~EngineHost();
  EngineHost(const EngineHost&) = delete;
  EngineHost& operator=(const EngineHost&) = delete;

  // Whether the module loaded, started and its server accepts connections.
  bool Started() const noexcept { return started_; }
  zylsim::Simulator& Sim() { return sim_; }

private:
  zylsim::Simulator sim_;
  bool started_ = false;
};

// Waits until 127.0.0.1:port accepts a connection (the probe is closed without a byte).
bool WaitForServer(std::uint16_t port, int milliseconds);

} // namespace zylbench
