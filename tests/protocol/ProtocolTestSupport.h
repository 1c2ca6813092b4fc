// Helpers shared by the protocol tests: the host commands the simulator saw run.
#pragma once

#include "support/InProcessEngine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zyltest {

// Every {"event":"exec",...} line the simulator printed, oldest first.
inline std::vector<nlohmann::json> ExecEvents(const InProcessEngine& engine) {
  std::vector<nlohmann::json> events;
  for (const std::string& line : engine.Output()) {
    nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (event.is_object() && event.value("event", "") == "exec") events.push_back(event);
  }
  return events;
}

// The exec line the simulator prints for a command run with `category` (null for none).
inline nlohmann::json ExecEvent(const nlohmann::json& category, const std::string& command) {
  return {{"event", "exec"}, {"category", category}, {"command", command}};
}

} // namespace zyltest
