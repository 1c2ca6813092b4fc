// What the vitals thread carries from one record to the next.
#pragma once

#include "timeline/TimelineCache.h"
#include "vitals/ChangeFlags.h"
#include "vitals/TimecodeSpeed.h"

#include <cstdint>

namespace ZYL {

struct VitalsState {
  std::int64_t lastForcedScan = 0; // steady-clock ns of the last forced timeline rescan
  // Whether the timeline a record's scan finds becomes the current one.
  CurrentTimelineUse current = CurrentTimelineUse::Move;
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
