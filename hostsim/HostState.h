// The simulated editor as its suites see it. Suite entries are plain functions without a
// context argument, so they reach the one active host through ActiveHost().
#pragma once

#include "Ledger.h"
#include "ProjectStore.h"
#include "hostsdk/BasicSuite.h"

#include <array>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

namespace zylsim {

enum class HostObjectKind { Command, Marker, Mixer, Transport, Color };

class HostState {
public:
  using OutputSink = std::function<void(const std::string& line)>;

  HostState(nlohmann::json project, OutputSink output);

  ProjectStore store;
  Ledger ledger;

  // Writes one stdout line; callable from any thread.
  void Print(const nlohmann::ordered_json& line);

  hostsdk::HostObject Object(HostObjectKind kind) noexcept;
  bool IsObject(hostsdk::HostObject object, HostObjectKind kind) noexcept;

private:
  std::mutex outputMutex_;
  OutputSink output_;
  std::array<unsigned char, 5> objects_{}; // their addresses are the host objects
};

// The host whose suites answer; null while no Simulator exists.
HostState* ActiveHost() noexcept;
// A newer host takes over from an older one; Deactivate only clears its own registration.
void ActivateHost(HostState* host) noexcept;
void DeactivateHost(HostState* host) noexcept;

} // namespace zylsim
