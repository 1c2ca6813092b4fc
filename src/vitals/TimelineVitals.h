// The record's timeline: the current one, or when there is none the first one a scan finds,
// with its cut count and segments hash.
#pragma once

#include "timeline/TimelineCache.h"
#include "vitals/ChangeFlags.h"

#include <cstdint>

namespace ZYL {

struct VitalsSources;

// A forced rescan can take seconds, so it is asked for at most once a minute, and only
// while there is no current timeline. A current timeline that no longer answers is dropped.
// The timeline a scan finds becomes the current one while there is none, unless `current`
// keeps it.
TimelineReading ReadRecordTimeline(const VitalsSources& sources, std::int64_t& lastForcedScan,
                                   std::int64_t now, CurrentTimelineUse current);

} // namespace ZYL
