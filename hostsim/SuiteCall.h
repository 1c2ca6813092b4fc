// The frame of every host suite entry: find the active host, honour failingCalls, and let
// no exception reach the engine.
#pragma once

#include "HostState.h"

#include <memory>
#include <type_traits>

namespace zylsim {

// Answers when no host is active (a late call after the simulator has gone).
inline constexpr hostsdk::ErrorCode kNoHost = hostsdk::kNotImplemented;
// Answers for an id, handle, index or name that names nothing in the project.
inline constexpr hostsdk::ErrorCode kUnknown = hostsdk::kBadParameter;

template <typename Body>
hostsdk::ErrorCode Answer(SuiteId suite, std::int32_t position, Body&& body) noexcept {
  HostState* host = ActiveHost();
  if (host == nullptr) return kNoHost;
  try {
    const std::shared_ptr<const Project> project = host->store.Current();
    if (const auto failure = project->Failure(suite, position)) return *failure;
    // bodies that hand out handles keep the model alive through the snapshot itself
    if constexpr (std::is_invocable_v<Body, HostState&, const Project&>)
      return body(*host, *project);
    else
      return body(*host, project);
  } catch (...) {
    return hostsdk::kNotImplemented;
  }
}

// The entry of a table position the engine does not use.
inline hostsdk::ErrorCode Unused() noexcept { return hostsdk::kNotImplemented; }

} // namespace zylsim
