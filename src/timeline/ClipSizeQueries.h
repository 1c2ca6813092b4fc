// get.clipsize and get.clipsize.marker: the source frame size of the clip at a time or at a
// named marker.
// Each question asked of the host's render trees searches the timelines in the cache's
// order and moves the current timeline as its answer warrants, or asks the one timeline its
// scope names and leaves the cache alone; none sends anything.
#pragma once

#include "timeline/MarkerLookup.h"
#include "timeline/NodeVisitors.h"
#include "timeline/TimelineCache.h"
#include "timeline/TimelineSearch.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ZYL {

// The source frame size of the clip at `ticks` (`end`: the clip's end, -1 for none);
// 0 by 0 when nothing is found. `answeredBy` as for the angle. At a marker, the marker's
// timeline becomes the current one unless `current` keeps it.
FrameSize FindSizeAtTime(TimelineCache& timelines, std::int64_t ticks, std::int64_t end,
                         std::int32_t track, const TimelineScope& scope = {},
                         std::int32_t* answeredBy = nullptr);
FrameSize FindSizeAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track,
                           NameMatch match = NameMatch::Folded,
                           std::optional<MarkerMatch>* marker = nullptr,
                           CurrentTimelineUse current = CurrentTimelineUse::Move);

} // namespace ZYL
