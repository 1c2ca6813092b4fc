// The simulator's parts, shared by its life cycle, its command interpreter and its demo.
#pragma once

#include "DemoPlayback.h"
#include "EngineSession.h"
#include "HostState.h"
#include "ModuleLoader.h"
#include "Simulator.h"

#include <functional>
#include <mutex>
#include <optional>

namespace zylsim {

struct SimulatorParts {
  SimulatorParts(const nlohmann::json& project, Simulator::OutputSink output)
      : host(project, std::move(output)), session(host), demo(lifecycle, session, host.store) {}

  HostState host;
  ModuleLoader loader;
  // One host thread at a time talks to the module's life cycle: stdin commands, the demo
  // and shut-down take it for each step.
  std::mutex lifecycle;
  EngineSession session;
  DemoPlayback demo;
  bool started = false;
  std::optional<bool> shutDownBalanced; // set once the ledger line went out
  std::function<bool()> stopRequested;
};

struct Simulator::Impl : SimulatorParts {
  using SimulatorParts::SimulatorParts;
};

} // namespace zylsim
