// Every interval the engine measures (record limit, forced rescan, timecode stamps) is taken
// on the steady clock in nanoseconds.
#pragma once

#include <chrono>
#include <cstdint>

namespace ZYL {

inline std::int64_t SteadyNanoseconds() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

} // namespace ZYL
