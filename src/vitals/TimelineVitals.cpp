#include "vitals/TimelineVitals.h"

#include "host/HostCall.h"
#include "host/ScopedSuite.h"
#include "hostsdk/MediaSuites.h"
#include "vitals/VitalsSources.h"

#include <vector>

namespace ZYL {

namespace {

constexpr std::int64_t kForcedScanInterval = 60LL * 1'000'000'000LL;

} // namespace

TimelineReading ReadRecordTimeline(const VitalsSources& sources, std::int64_t& lastForcedScan,
                                   std::int64_t now, CurrentTimelineUse current) {
  TimelineReading reading;
  reading.timeline = sources.timelines.CurrentTimeline();

  const ScopedSuite<hostsdk::VideoSegmentSuite9> segments(
      sources.host.basicSuite, hostsdk::kVideoSegmentSuiteName, hostsdk::kVideoSegmentSuiteVersion);
  if (!segments) return reading;

  if (reading.timeline < 0) {
    const bool force = now - lastForcedScan >= kForcedScanInterval;
    const std::vector<std::int32_t> found = sources.timelines.ScanTimelines(force);
    if (force) lastForcedScan = now;
    if (found.empty()) return reading;
    reading.timeline = found.front();
    if (current == CurrentTimelineUse::Move)
      sources.timelines.SetCurrentTimelineIfNone(reading.timeline);
  }

  std::int32_t handle = 0;
  const hostsdk::ErrorCode status = CallHost(segments->AcquireSegments, reading.timeline, &handle);
  if (status != hostsdk::kSuccess || handle == 0) {
    sources.timelines.NoteRefusal(reading.timeline, status);
    sources.timelines.ReplaceCurrentTimeline(reading.timeline, -1);
    reading.timeline = -1;
    return reading;
  }

  std::int32_t cuts = -1;
  if (CallHost(segments->GetSegmentCount, handle, &cuts) == hostsdk::kSuccess) reading.cuts = cuts;
  SegmentsHash hash{};
  if (CallHost(segments->GetSegmentsHash, handle, hash.data()) == hostsdk::kSuccess) {
    reading.hashRead = true;
    reading.hash = hash;
  }
  CallHost(segments->ReleaseSegments, handle);
  return reading;
}

} // namespace ZYL
