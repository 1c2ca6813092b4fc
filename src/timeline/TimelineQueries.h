// The questions asked of the host's render trees. Each searches the timelines in the cache's
// order and moves the current timeline as its answer warrants; none sends anything.
#pragma once

#include "timeline/NodeVisitors.h"
#include "timeline/TimelineCache.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

// The multicam angle playing at `ticks` on `track` (-1: any track); 0 when none is found.
// `answeredBy`, when given, receives the timeline that gave the angle (-1: none did).
std::int32_t FindAngleAtTime(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
                             std::int32_t* answeredBy = nullptr);
// The same at the first marker named exactly `name`; 0 when none is found.
std::int32_t FindAngleAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track);

// The source frame size of the clip at `ticks` (`end`: the clip's end, -1 for none);
// 0 by 0 when nothing is found.
FrameSize FindSizeAtTime(TimelineCache& timelines, std::int64_t ticks, std::int64_t end,
                         std::int32_t track);
FrameSize FindSizeAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track);

struct ClipTransitions {
  TransitionSide in;
  TransitionSide out;
};
// The transitions at the two ends of the clip from `start` to `end` on `track`; nothing
// when no timeline holds such a clip.
std::optional<ClipTransitions> FindClipTransitions(TimelineCache& timelines, std::int64_t start,
                                                   std::int64_t end, std::int32_t track);

// The node dump at `ticks`, one line at a time, from its start marker to its end marker.
using DumpLineSink = std::function<void(const std::string& line)>;
void DumpAngle(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
               const DumpLineSink& line);

// Probes the ids from `from` up to `to` (clamped to 0 and the largest timeline id) within
// about `budgetMs` and returns the scan's JSON record.
std::string ScanTimelineRange(TimelineCache& timelines, std::int64_t from, std::int64_t to,
                              std::int64_t budgetMs);

} // namespace ZYL
