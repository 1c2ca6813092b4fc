// What the vitals thread carries from one record to the next.
#pragma once

#include "vitals/ChangeFlags.h"
#include "vitals/TimecodeSpeed.h"

#include <cstdint>

namespace ZYL {

struct VitalsState {
  std::int64_t lastForcedScan = 0; // steady-clock ns of the last forced timeline rescan
  TimelineHistory history;
  SpeedState speed;
};

// A state whose first record may force a rescan at once.
inline VitalsState InitialVitalsState(std::int64_t threadStart) noexcept {
  constexpr std::int64_t kOneHour = 3600LL * 1'000'000'000LL;
  VitalsState state;
  state.lastForcedScan = threadStart - kOneHour;
  return state;
}

} // namespace ZYL
