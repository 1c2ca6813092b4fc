// get.transitions: the transitions at the two ends of a clip named by its range and track.
// Each question asked of the host's render trees searches the timelines in the cache's
// order and moves the current timeline as its answer warrants, or asks the one timeline its
// scope names and leaves the cache alone; none sends anything.
#pragma once

#include "timeline/NodeVisitors.h"
#include "timeline/TimelineCache.h"
#include "timeline/TimelineSearch.h"

#include <cstdint>
#include <optional>

namespace ZYL {

struct ClipTransitions {
  TransitionSide in;
  TransitionSide out;
  std::int32_t timeline = -1; // the timeline that holds the clip
};
// The transitions at the two ends of the clip from `start` to `end` on `track`; nothing
// when no timeline holds such a clip.
std::optional<ClipTransitions> FindClipTransitions(TimelineCache& timelines, std::int64_t start,
                                                   std::int64_t end, std::int32_t track,
                                                   const TimelineScope& scope = {});

} // namespace ZYL
