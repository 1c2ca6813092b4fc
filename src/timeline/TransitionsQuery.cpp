// get.transitions: the transitions at the two ends of a clip named by its range and track.
#include "timeline/NodeVisitors.h"
#include "timeline/TimelineQueries.h"
#include "timeline/TimelineSearch.h"

#include <limits>
#include <optional>

namespace ZYL {

namespace {

// start + (end - start) / 2, truncated toward zero, without overflowing when the two times
// are further apart than 64 bits can hold.
std::int64_t MiddleOf(std::int64_t start, std::int64_t end) {
  const auto from = static_cast<std::uint64_t>(start);
  const auto to = static_cast<std::uint64_t>(end);
  if (end >= start) return static_cast<std::int64_t>(from + (to - from) / 2);
  return static_cast<std::int64_t>(from - (from - to) / 2);
}

// The tick before `time`; none before the earliest representable time.
std::optional<std::int64_t> TickBefore(std::int64_t time) {
  if (time == std::numeric_limits<std::int64_t>::min()) return std::nullopt;
  return time - 1;
}

// Walks the tree at `time` into `side`; returns whether it held a clip of the track.
bool VisitTreeAt(const NodeWalk& walk, const SegmentsHandle& segments, std::int64_t time,
                 TransitionSide& side) {
  bool clipOnTrack = false;
  const NodeHandle root(walk.suite, segments, time);
  if (root) TransitionVisitor(walk, root.get(), 0, clipOnTrack, side);
  return clipOnTrack;
}

// A transition that straddles a cut may hang from either neighbouring tick, so the second
// time is read only when the first gave no named transition.
TransitionSide ReadSide(const NodeWalk& walk, const SegmentsHandle& segments,
                        std::optional<std::int64_t> first, std::optional<std::int64_t> second) {
  TransitionSide side;
  if (first) VisitTreeAt(walk, segments, *first, side);
  if (side.name == kNoTransitionName && second) VisitTreeAt(walk, segments, *second, side);
  return side;
}

std::optional<ClipTransitions> ProbeTransitions(const NodeWalk& walk, TimelineCache& timelines,
                                                const TimelineScope& scope, std::int32_t timeline,
                                                std::int64_t start, std::int64_t end) {
  const SegmentsHandle segments(walk.suite, timeline);
  if (!segments) {
    if (!scope.LeavesCacheAlone()) timelines.NoteRefusal(timeline, segments.status());
    return std::nullopt;
  }
  TransitionSide scratch;
  if (!VisitTreeAt(walk, segments, MiddleOf(start, end), scratch)) return std::nullopt;
  return ClipTransitions{ReadSide(walk, segments, start, TickBefore(start)),
                         ReadSide(walk, segments, TickBefore(end), end), timeline};
}

} // namespace

std::optional<ClipTransitions> FindClipTransitions(TimelineCache& timelines, std::int64_t start,
                                                   std::int64_t end, std::int32_t track,
                                                   const TimelineScope& scope) {
  const VideoSegmentSuite suite(timelines.BasicSuite());
  if (!suite) return std::nullopt;
  const NodeWalk walk{*suite, track};
  if (scope.only) return ProbeTransitions(walk, timelines, scope, *scope.only, start, end);
  std::optional<ClipTransitions> found;
  timelines.SearchTimelines([&](std::int32_t timeline) {
    found = ProbeTransitions(walk, timelines, scope, timeline, start, end);
    if (!found) return false;
    if (scope.MovesCurrent()) timelines.SetCurrentTimeline(timeline);
    timelines.NoteTimeline(timeline);
    return true;
  });
  return found;
}

} // namespace ZYL
