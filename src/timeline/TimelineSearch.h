// The search shared by the queries by time: an exact pass, then a loose one.
#pragma once

#include "timeline/TimelineCache.h"
#include "timeline/VideoSegments.h"

#include <cstdint>
#include <functional>

namespace ZYL {

// One timeline's attempt in the exact (true) or loose (false) pass; true when it answered.
using PassProbe = std::function<bool(std::int32_t timeline, bool exact)>;

// Runs the exact pass and, when it found nothing, the loose pass. A pass tries the current
// timeline first, then the cache's search order. Returns whether a probe answered.
bool SearchExactThenLoose(TimelineCache& timelines, const PassProbe& probe);

// Notes a probe's outcome in the cache: a timeline that gave its segments is known, one the
// host no longer knows is forgotten. Returns whether the segments are there.
inline bool NoteProbe(TimelineCache& timelines, std::int32_t timeline,
                      const SegmentsHandle& segments) {
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
