// get.clipsize and get.clipsize.marker: the source frame size of the clip at a time or at a
// named marker.
#include "timeline/MarkerLookup.h"
#include "timeline/NodeVisitors.h"
#include "timeline/TimelineQueries.h"
#include "timeline/TimelineSearch.h"

namespace ZYL {

namespace {

struct ClipSizeQuery {
  const hostsdk::VideoSegmentSuite9& suite;
  TimelineCache& timelines;
  std::int64_t ticks;
  std::int64_t end; // -1: no end time given
  std::int32_t track;
  const TimelineScope& scope;
  FrameSize size;
  std::int32_t answeredBy = -1;
};

// The exact pass wants a segment starting at ticks and, when a later end is given, the
// same clip (or a cut exactly at end) there; no node at end does not disqualify.
bool PassesExactTest(const ClipSizeQuery& query, const SegmentsHandle& segments,
                     const NodeHandle& root) {
  if (root.offset() != query.ticks) return false;
  if (query.ticks >= query.end) return true;
  const NodeHandle atEnd(query.suite, segments, query.end);
  return !atEnd || atEnd.offset() == query.end || atEnd.offset() == query.ticks;
}

bool ProbeFrameSize(ClipSizeQuery& query, std::int32_t timeline, bool exact) {
  const SegmentsHandle segments(query.suite, timeline);
  if (!NoteProbe(query.timelines, query.scope, timeline, segments)) return false;
  {
    const NodeHandle root(query.suite, segments, query.ticks);
    if (root && (!exact || PassesExactTest(query, segments, root)))
      FrameSizeVisitor(NodeWalk{query.suite, query.track}, root.get(), 0, -1, query.size);
  }
  if (query.size.width > 0 && exact && query.scope.MovesCurrent())
    query.timelines.SetCurrentTimeline(timeline);
  if (query.size.width != 0) query.answeredBy = timeline;
  return query.size.width != 0;
}

} // namespace

FrameSize FindSizeAtTime(TimelineCache& timelines, std::int64_t ticks, std::int64_t end,
                         std::int32_t track, const TimelineScope& scope, std::int32_t* answeredBy) {
  if (answeredBy != nullptr) *answeredBy = -1;
  const VideoSegmentSuite suite(timelines.BasicSuite());
  if (!suite) return {};
  ClipSizeQuery query{*suite, timelines, ticks, end, track, scope, {}};
  SearchExactThenLoose(timelines, scope, [&query](std::int32_t timeline, bool exact) {
    return ProbeFrameSize(query, timeline, exact);
  });
  if (answeredBy != nullptr) *answeredBy = query.answeredBy;
  return query.size;
}

FrameSize FindSizeAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track,
                           NameMatch nameMatch, std::optional<MarkerMatch>* marker,
                           CurrentTimelineUse current) {
  if (marker != nullptr) marker->reset();
  if (name.empty()) return {};
  const std::optional<MarkerMatch> match =
      FindMarkerByName(timelines.BasicSuite(), timelines, name, nameMatch);
  if (!match) return {};
  if (marker != nullptr) *marker = match;
  if (current == CurrentTimelineUse::Move) timelines.SetCurrentTimeline(match->timeline);
  const VideoSegmentSuite suite(timelines.BasicSuite());
  if (!suite) return {};
  FrameSize size;
  VisitRootAt(*suite, match->timeline, match->time, [&](std::int32_t root) {
    FrameSizeVisitor(NodeWalk{*suite, track}, root, 0, -1, size);
  });
  return size;
}

} // namespace ZYL
