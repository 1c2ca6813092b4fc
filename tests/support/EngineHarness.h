// The built engine module running inside an in-process simulated host, reached through
// its one export exactly as the editor reaches it. Tests talk to it over 127.0.0.1:7890
// (see WsTestClient) and steer the host through Execute.
#pragma once

#include "Simulator.h"
#include "WsTestClient.h"

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zyltest {

class EngineHarness {
public:
  // Loads ZYL_TEST_MODULE_PATH into a simulator of `project`, starts it and waits until the
  // server accepts connections. Failures are reported as test failures (see Started()).
  explicit EngineHarness(const nlohmann::json& project = zylsim::DemoProject());
  // Shuts the simulator down (detaching the surface and unloading the module).
  ~EngineHarness();
  EngineHarness(const EngineHarness&) = delete;
  EngineHarness& operator=(const EngineHarness&) = delete;

  zylsim::Simulator& sim() { return sim_; }
  bool Started() const noexcept { return started_; }

  // Every line the simulator printed so far (JSON objects without the newline).
  std::vector<std::string> Output() const;
  // Carries out one simulator command line ("play on", "set solo true", ...).
  bool Execute(const std::string& line);
  // Shuts down now and returns whether the ledger is balanced.
  bool Shutdown();

  // Waits until 127.0.0.1:7890 accepts a connection. The probe sends no byte and ends its
  // side; the server ends it without a reply, and its place is free again on return.
  static bool WaitForServer(Millis deadline = Millis(5000));

private:
  mutable std::mutex outputLock_;
  std::vector<std::string> output_;
  zylsim::Simulator sim_;
  bool started_ = false;
};

} // namespace zyltest
