#include "timeline/TimelineSearch.h"

namespace ZYL {

namespace {

bool SearchPass(TimelineCache& timelines, const PassProbe& probe, bool exact) {
  const std::int32_t current = timelines.CurrentTimeline();
  if (current >= 0 && probe(current, exact)) return true;
  return timelines.SearchTimelines([&](std::int32_t timeline) { return probe(timeline, exact); });
}

} // namespace

bool SearchExactThenLoose(TimelineCache& timelines, const PassProbe& probe) {
  return SearchPass(timelines, probe, true) || SearchPass(timelines, probe, false);
}

} // namespace ZYL
