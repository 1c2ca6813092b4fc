#include "timeline/TimelineSearch.h"

namespace ZYL {

namespace {

bool SearchPass(TimelineCache& timelines, const TimelineScope& scope, const PassProbe& probe,
                bool exact) {
  if (scope.only) return probe(*scope.only, exact);
  const std::int32_t current = timelines.CurrentTimeline();
  if (current >= 0 && probe(current, exact)) return true;
  return timelines.SearchTimelines([&](std::int32_t timeline) { return probe(timeline, exact); });
}

} // namespace

std::optional<bool> HostKnowsTimeline(const hostsdk::BasicSuite* basic, std::int32_t timeline) {
  const VideoSegmentSuite suite(basic);
  if (!suite) return std::nullopt;
  const SegmentsHandle segments(*suite, timeline);
  return segments || segments.status() != hostsdk::kBadParameter;
}

bool SearchExactThenLoose(TimelineCache& timelines, const TimelineScope& scope,
                          const PassProbe& probe) {
  return SearchPass(timelines, scope, probe, true) || SearchPass(timelines, scope, probe, false);
}

} // namespace ZYL
