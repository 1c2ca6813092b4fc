// Calls one entry of a host suite table. A host may leave entries it does not offer null;
// such an entry answers like one that is not implemented.
#pragma once

#include "hostsdk/Types.h"

#include <optional>
#include <utility>

namespace ZYL {

// Whether work the engine hands to the host went through; when it did not, the host's status
// if the host refused it (none when the engine declined to ask).
struct HostOutcome {
  bool done = false;
  std::optional<hostsdk::ErrorCode> refusal;

  explicit operator bool() const noexcept { return done; }
};

template <typename Entry, typename... Arguments>
hostsdk::ErrorCode CallHost(Entry entry, Arguments&&... arguments) {
  if (entry == nullptr) return hostsdk::kNotImplemented;
  return entry(std::forward<Arguments>(arguments)...);
}

} // namespace ZYL
