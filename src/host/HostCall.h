// Calls one entry of a host suite table. A host may leave entries it does not offer null;
// such an entry answers like one that is not implemented.
#pragma once

#include "hostsdk/Types.h"

#include <utility>

namespace ZYL {

template <typename Entry, typename... Arguments>
hostsdk::ErrorCode CallHost(Entry entry, Arguments&&... arguments) {
  if (entry == nullptr) return hostsdk::kNotImplemented;
  return entry(std::forward<Arguments>(arguments)...);
}

} // namespace ZYL
