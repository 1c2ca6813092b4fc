// Temporary: lets the tree link until the timeline subsystem lands. Delete when replaced.
#include "host/ZYLEngineControlSurface.h"
#include "timeline/TimelineCommands.h"

namespace ZYL {
TimelineCache::TimelineCache(const hostsdk::BasicSuite* basic, const std::atomic<bool>& keepRunning)
    : basicSuite_(basic), keepRunning_(keepRunning) {}
std::vector<std::int32_t> TimelineCache::OrderedTimelines() const { return {}; }
std::vector<std::int32_t> TimelineCache::ScanTimelines(bool) { return {}; }
void TimelineCache::NoteTimeline(std::int32_t) {}
bool TimelineCache::SearchTimelines(const Probe&) { return false; }
std::int32_t TimelineCache::CurrentTimeline() const { return -1; }
void TimelineCache::SetCurrentTimeline(std::int32_t) {}
bool TimelineCache::ReplaceCurrentTimeline(std::int32_t, std::int32_t) { return false; }
bool TimelineCache::SetCurrentTimelineIfNone(std::int32_t) { return false; }
void HandleGetAngle(ZYLEngineControlSurface&, ReplySink&, std::int64_t, std::int32_t) {}
void HandleGetAngleMarker(ZYLEngineControlSurface&, ReplySink&, std::string_view, std::int32_t) {}
void HandleGetClipSize(ZYLEngineControlSurface&, ReplySink&, std::int64_t, std::int64_t, std::int32_t) {}
void HandleGetClipSizeMarker(ZYLEngineControlSurface&, ReplySink&, std::string_view, std::int32_t) {}
void HandleGetTransitions(ZYLEngineControlSurface&, ReplySink&, std::int64_t, std::int64_t, std::int32_t) {}
void HandleDumpAngle(ZYLEngineControlSurface&, ReplySink&, std::int64_t, std::int32_t) {}
void HandleTimelineScan(ZYLEngineControlSurface&, ReplySink&, std::int64_t, std::int64_t, std::int64_t) {}
} // namespace ZYL
