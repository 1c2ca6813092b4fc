// get.angle and get.angle.marker: the multicam angle at a time or at a named marker.
// Each question asked of the host's render trees searches the timelines in the cache's
// order and moves the current timeline as its answer warrants, or asks the one timeline its
// scope names and leaves the cache alone; none sends anything.
#pragma once

#include "timeline/MarkerLookup.h"
#include "timeline/TimelineCache.h"
#include "timeline/TimelineSearch.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ZYL {

// The multicam angle playing at `ticks` on `track` (-1: any track); 0 when none is found.
// `answeredBy`, when given, receives the timeline that gave the angle (-1: none did).
std::int32_t FindAngleAtTime(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
                             const TimelineScope& scope = {}, std::int32_t* answeredBy = nullptr);
// The same at the first marker whose name matches `name`; 0 when none is found. `marker`,
// when given, receives the marker found (none when no marker matched). The marker's
// timeline becomes the current one, whether or not an angle is found, unless `current` keeps
// it.
std::int32_t FindAngleAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track,
                               NameMatch match = NameMatch::Folded,
                               std::optional<MarkerMatch>* marker = nullptr,
                               CurrentTimelineUse current = CurrentTimelineUse::Move);

} // namespace ZYL
