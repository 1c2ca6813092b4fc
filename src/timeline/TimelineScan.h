// The timeline scan: probes a client-chosen id range and reports how the answering ids group.
#pragma once

#include "timeline/TimelineCache.h"

#include <cstdint>
#include <string>

namespace ZYL {

// What a scan probes when its client names nothing: no ids, within three seconds.
struct TimelineScanRange {
  std::int64_t from = 0;
  std::int64_t to = 0;
  std::int64_t budgetMs = 3000;
};

// Probes the ids from `from` up to `to` (clamped to 0 and the largest timeline id) within
// about `budgetMs` and returns the scan's JSON record. Each id that answers is known from
// then on; the first becomes the current timeline while there is none, unless `current`
// keeps it.
std::string ScanTimelineRange(TimelineCache& timelines, std::int64_t from, std::int64_t to,
                              std::int64_t budgetMs,
                              CurrentTimelineUse current = CurrentTimelineUse::Move);

} // namespace ZYL
