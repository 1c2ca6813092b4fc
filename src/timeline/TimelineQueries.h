// The questions asked of the host's render trees. Each searches the timelines in the cache's
// order and moves the current timeline as its answer warrants, or asks the one timeline its
// scope names and leaves the cache alone; none sends anything.
#pragma once

#include "timeline/MarkerLookup.h"
#include "timeline/NodeVisitors.h"
#include "timeline/TimelineCache.h"
#include "timeline/TimelineSearch.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
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

// The source frame size of the clip at `ticks` (`end`: the clip's end, -1 for none);
// 0 by 0 when nothing is found. `answeredBy` as for the angle.
FrameSize FindSizeAtTime(TimelineCache& timelines, std::int64_t ticks, std::int64_t end,
                         std::int32_t track, const TimelineScope& scope = {},
                         std::int32_t* answeredBy = nullptr);
FrameSize FindSizeAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track,
                           NameMatch match = NameMatch::Folded,
                           std::optional<MarkerMatch>* marker = nullptr,
                           CurrentTimelineUse current = CurrentTimelineUse::Move);

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

// The node dump at `ticks`, one line at a time, from its start marker to its end marker.
using DumpLineSink = std::function<void(const std::string& line)>;
void DumpAngle(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
               const DumpLineSink& line, const TimelineScope& scope = {});

// Probes the ids from `from` up to `to` (clamped to 0 and the largest timeline id) within
// about `budgetMs` and returns the scan's JSON record. Each id that answers is known from
// then on; the first becomes the current timeline while there is none, unless `current`
// keeps it.
std::string ScanTimelineRange(TimelineCache& timelines, std::int64_t from, std::int64_t to,
                              std::int64_t budgetMs,
                              CurrentTimelineUse current = CurrentTimelineUse::Move);

} // namespace ZYL
