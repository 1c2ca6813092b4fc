// The search shared by the queries by time: an exact pass, then a loose one.
#pragma once

#include "timeline/TimelineCache.h"
#include "timeline/VideoSegments.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace ZYL {

// Where a query looks. By default in the engine's search order, and what it learns (a
// timeline that answered, one the host no longer knows) goes into the cache; with `only` it
// asks that one timeline alone and leaves the cache as it was, so that the next query of
// any client searches as it would have.
struct TimelineScope {
  std::optional<std::int32_t> only;
  // Searching the engine's order: whether the timeline that answers becomes the current one.
  CurrentTimelineUse current = CurrentTimelineUse::Move;

  bool LeavesCacheAlone() const noexcept { return only.has_value(); }
  bool MovesCurrent() const noexcept { return !only && current == CurrentTimelineUse::Move; }
};

// Whether the host knows `timeline`: it does not when it refuses the id as a bad parameter.
// Nothing when the host offers no video segment suite to ask.
std::optional<bool> HostKnowsTimeline(const hostsdk::BasicSuite* basic, std::int32_t timeline);

// Whether the host, asked as HostKnowsTimeline asks, says it does not know `timeline`; false
// when it offers no way to ask. Other calls (the sequence information, the marker count) may
// refuse a timeline the host knows as a bad parameter too, so only this tells that it is gone.
inline bool HostDeniesTimeline(const hostsdk::BasicSuite* basic, std::int32_t timeline) {
  const std::optional<bool> known = HostKnowsTimeline(basic, timeline);
  return known.has_value() && !*known;
}

// One timeline's attempt in the exact (true) or loose (false) pass; true when it answered.
using PassProbe = std::function<bool(std::int32_t timeline, bool exact)>;

// Runs the exact pass and, when it found nothing, the loose pass. A pass tries the current
// timeline first, then the cache's search order; or the scope's one timeline. Returns
// whether a probe answered.
bool SearchExactThenLoose(TimelineCache& timelines, const TimelineScope& scope,
                          const PassProbe& probe);

// Notes a probe's outcome in the cache, unless the scope leaves it alone: a timeline that
// gave its segments is known, one the host no longer knows is forgotten. Returns whether the
// segments are there.
inline bool NoteProbe(TimelineCache& timelines, const TimelineScope& scope, std::int32_t timeline,
                      const SegmentsHandle& segments) {
  if (scope.LeavesCacheAlone()) return static_cast<bool>(segments);
  if (!segments) {
    timelines.NoteRefusal(timeline, segments.status());
    return false;
  }
  timelines.NoteTimeline(timeline);
  return true;
}

// Runs visit(rootNode) on the root node of `timeline` at `time`, when the host gives one.
template <typename Visit>
void VisitRootAt(const hostsdk::VideoSegmentSuite9& suite, std::int32_t timeline, std::int64_t time,
                 Visit&& visit) {
  const SegmentsHandle segments(suite, timeline);
  if (!segments) return;
  const NodeHandle root(suite, segments, time);
  if (root) visit(root.get());
}

} // namespace ZYL
