// get.angle and get.angle.marker: the multicam angle at a time or at a named marker.
#include "timeline/MarkerLookup.h"
#include "timeline/NodeVisitors.h"
#include "timeline/TimelineQueries.h"
#include "timeline/TimelineSearch.h"

namespace ZYL {

namespace {

struct AngleQuery {
  const hostsdk::VideoSegmentSuite9& suite;
  TimelineCache& timelines;
  std::int64_t ticks;
  std::int32_t track;
  const TimelineScope& scope;
  std::int32_t angle = 0;
  std::int32_t answeredBy = -1;
};

bool ProbeAngle(AngleQuery& query, std::int32_t timeline, bool exact) {
  const SegmentsHandle segments(query.suite, timeline);
  if (!NoteProbe(query.timelines, query.scope, timeline, segments)) return false;
  {
    const NodeHandle root(query.suite, segments, query.ticks);
    // The exact pass wants a segment that starts at the requested time.
    if (root && (!exact || root.offset() == query.ticks))
      query.angle = AngleVisitor(NodeWalk{query.suite, query.track}, root.get(), 0, -1);
  }
  // A loose answer is a guess and does not move the current timeline.
  if (query.angle > 0 && exact && query.scope.MovesCurrent())
    query.timelines.SetCurrentTimeline(timeline);
  if (query.angle != 0) query.answeredBy = timeline;
  return query.angle != 0;
}

} // namespace

std::int32_t FindAngleAtTime(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
                             const TimelineScope& scope, std::int32_t* answeredBy) {
  if (answeredBy != nullptr) *answeredBy = -1;
  const VideoSegmentSuite suite(timelines.BasicSuite());
  if (!suite) return 0;
  AngleQuery query{*suite, timelines, ticks, track, scope};
  SearchExactThenLoose(timelines, scope, [&query](std::int32_t timeline, bool exact) {
    return ProbeAngle(query, timeline, exact);
  });
  if (answeredBy != nullptr) *answeredBy = query.answeredBy;
  return query.angle;
}

std::int32_t FindAngleAtMarker(TimelineCache& timelines, std::string_view name, std::int32_t track,
                               NameMatch nameMatch, std::optional<MarkerMatch>* marker,
                               CurrentTimelineUse current) {
  if (marker != nullptr) marker->reset();
  if (name.empty()) return 0;
  const std::optional<MarkerMatch> match =
      FindMarkerByName(timelines.BasicSuite(), timelines, name, nameMatch);
  if (!match) return 0;
  if (marker != nullptr) *marker = match;
  // The marker names the timeline the client means, whether or not an angle is found there.
  if (current == CurrentTimelineUse::Move) timelines.SetCurrentTimeline(match->timeline);
  const VideoSegmentSuite suite(timelines.BasicSuite());
  if (!suite) return 0;
  std::int32_t angle = 0;
  VisitRootAt(*suite, match->timeline, match->time, [&](std::int32_t root) {
    angle = AngleVisitor(NodeWalk{*suite, track}, root, 0, -1);
  });
  return angle;
}

} // namespace ZYL
