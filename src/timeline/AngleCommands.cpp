// get.angle and get.angle.marker: the multicam angle at a time or at a named marker.
#include "host/ZYLEngineControlSurface.h"
#include "timeline/MarkerLookup.h"
#include "timeline/NodeVisitors.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineSearch.h"

#include <string>

namespace ZYL {

namespace {

struct AngleQuery {
  const hostsdk::VideoSegmentSuite9& suite;
  TimelineCache& timelines;
  std::int64_t ticks;
  std::int32_t track;
  std::int32_t angle = 0;
};

bool ProbeAngle(AngleQuery& query, std::int32_t timeline, bool exact) {
  const SegmentsHandle segments(query.suite, timeline);
  if (!segments) return false;
  query.timelines.NoteTimeline(timeline);
  {
    const NodeHandle root(query.suite, segments, query.ticks);
    // The exact pass wants a segment that starts at the requested time.
    if (root && (!exact || root.offset() == query.ticks))
      query.angle = AngleVisitor(NodeWalk{query.suite, query.track}, root.get(), 0, -1);
  }
  // A loose answer is a guess and does not move the current timeline.
  if (query.angle > 0 && exact) query.timelines.SetCurrentTimeline(timeline);
  return query.angle != 0;
}

std::int32_t FindAngleAtTime(ZYLEngineControlSurface& surface, std::int64_t ticks,
                             std::int32_t track) {
  const VideoSegmentSuite suite(surface.basicSuite);
  if (!suite) return 0;
  AngleQuery query{*suite, surface.timelines, ticks, track};
  SearchExactThenLoose(surface.timelines, [&query](std::int32_t timeline, bool exact) {
    return ProbeAngle(query, timeline, exact);
  });
  return query.angle;
}

std::int32_t FindAngleAtMarker(ZYLEngineControlSurface& surface, std::string_view name,
                               std::int32_t track) {
  if (name.empty()) return 0;
  const std::optional<MarkerMatch> match =
      FindMarkerByName(surface.basicSuite, surface.timelines, name);
  if (!match) return 0;
  // The marker names the timeline the client means, whether or not an angle is found there.
  surface.timelines.SetCurrentTimeline(match->timeline);
  const VideoSegmentSuite suite(surface.basicSuite);
  if (!suite) return 0;
  std::int32_t angle = 0;
  VisitRootAt(*suite, match->timeline, match->time, [&](std::int32_t root) {
    angle = AngleVisitor(NodeWalk{*suite, track}, root, 0, -1);
  });
  return angle;
}

} // namespace

void HandleGetAngle(ZYLEngineControlSurface& surface, ReplySink& client, std::int64_t ticks,
                    std::int32_t track) {
  client.Send("angle:" + std::to_string(FindAngleAtTime(surface, ticks, track)));
}

void HandleGetAngleMarker(ZYLEngineControlSurface& surface, ReplySink& client,
                          std::string_view name, std::int32_t track) {
  client.Send("angle:" + std::to_string(FindAngleAtMarker(surface, name, track)));
}

} // namespace ZYL
