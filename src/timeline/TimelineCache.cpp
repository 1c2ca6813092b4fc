#include "timeline/TimelineCache.h"

#include "timeline/VideoSegments.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace ZYL {

namespace {
// Probing is the only way to find timelines and costs one host call per id, so a scan is
// bounded by the id range, a time budget and a freshness window.
constexpr std::int32_t kScanIdLimit = 4'000'000;
constexpr std::int64_t kScanBudgetMs = 3000;
// Reading the clock per id would cost as much as the probe itself.
constexpr std::int32_t kBudgetCheckMask = 4096 - 1;
constexpr std::int64_t kFreshScanNs = 5'000'000'000;
constexpr std::int64_t kNsPerMs = 1'000'000;
} // namespace

TimelineCache::TimelineCache(const hostsdk::BasicSuite* basicSuite,
                             const std::atomic<bool>& keepRunning, Clock clock)
    : basicSuite_(basicSuite), keepRunning_(keepRunning), clock_(std::move(clock)) {}

std::int64_t TimelineCache::SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::vector<std::int32_t> TimelineCache::OrderedTimelines() const {
  std::lock_guard<std::mutex> lock(timelineLock);
  return OrderedTimelinesLocked();
}

std::vector<std::int32_t> TimelineCache::OrderedTimelinesLocked() const {
  std::vector<std::int32_t> ordered;
  ordered.reserve(knownTimelines.size() + 1);
  if (currentTimeline >= 0) ordered.push_back(currentTimeline);
  for (const std::int32_t id : knownTimelines) {
    if (id != currentTimeline) ordered.push_back(id);
  }
  return ordered;
}

std::vector<std::int32_t> TimelineCache::ScanTimelines(bool rescanIfStale) {
  const std::int64_t start = clock_();
  {
    std::lock_guard<std::mutex> lock(timelineLock);
    const bool fresh = !staleScan && start - lastTimelineScan < kFreshScanNs;
    if (timelinesScanned && (fresh || !rescanIfStale)) return OrderedTimelinesLocked();
  }
  // Two scans may run at once; each installs its own result and the later one wins.
  std::vector<std::int32_t> hits;
  if (ProbeTimelineIds(start, hits)) InstallScan(std::move(hits));
  return OrderedTimelines();
}

bool TimelineCache::ProbeTimelineIds(std::int64_t start, std::vector<std::int32_t>& hits) const {
  const VideoSegmentSuite suite(basicSuite_);
  // Without the suite the host offers no timelines: the empty list is installed as fresh.
  if (!suite) return true;
  for (std::int32_t id = 0; id < kScanIdLimit; ++id) {
    if ((id & kBudgetCheckMask) == 0 && (clock_() - start) / kNsPerMs > kScanBudgetMs) break;
    // Checked per id, not per budget check, so that a slow host cannot keep a stopping
    // server waiting for 4096 probes.
    if (!keepRunning_.load(std::memory_order_relaxed)) return false;
    if (SegmentsHandle(*suite, id)) hits.push_back(id);
  }
  return true;
}

void TimelineCache::InstallScan(std::vector<std::int32_t> hits) {
  const std::int64_t installed = clock_();
  std::lock_guard<std::mutex> lock(timelineLock);
  if (currentTimeline >= 0 && !std::binary_search(hits.begin(), hits.end(), currentTimeline))
    currentTimeline = -1;
  knownTimelines = std::move(hits);
  timelinesScanned = true;
  staleScan = false;
  lastTimelineScan = installed;
}

void TimelineCache::NoteTimeline(std::int32_t timeline) {
  std::lock_guard<std::mutex> lock(timelineLock);
  if (std::find(knownTimelines.begin(), knownTimelines.end(), timeline) == knownTimelines.end())
    knownTimelines.push_back(timeline);
}

void TimelineCache::NoteRefusal(std::int32_t timeline, hostsdk::ErrorCode status) {
  if (status != hostsdk::kBadParameter) return;
  std::lock_guard<std::mutex> lock(timelineLock);
  ForgetTimelineLocked(timeline);
}

void TimelineCache::ForgetTimelineLocked(std::int32_t timeline) {
  const auto known = std::find(knownTimelines.begin(), knownTimelines.end(), timeline);
  const bool wasKnown = known != knownTimelines.end() || currentTimeline == timeline;
  if (known != knownTimelines.end()) knownTimelines.erase(known);
  if (currentTimeline == timeline) currentTimeline = -1;
  if (!wasKnown) return;
  // The cache was wrong about the project: what a scan found before is no longer fresh, and
  // a cache left empty counts as never scanned.
  staleScan = true;
  if (knownTimelines.empty() && currentTimeline < 0) timelinesScanned = false;
}

bool TimelineCache::SearchTimelines(const Probe& probe) {
  for (const std::int32_t id : OrderedTimelines()) {
    if (probe(id)) return true;
  }
  for (const std::int32_t id : ScanTimelines(true)) {
    if (probe(id)) return true;
  }
  return false;
}

std::int32_t TimelineCache::CurrentTimeline() const {
  std::lock_guard<std::mutex> lock(timelineLock);
  return currentTimeline;
}

void TimelineCache::SetCurrentTimeline(std::int32_t timeline) {
  std::lock_guard<std::mutex> lock(timelineLock);
  currentTimeline = timeline;
}

bool TimelineCache::ReplaceCurrentTimeline(std::int32_t expected, std::int32_t desired) {
  std::lock_guard<std::mutex> lock(timelineLock);
  if (currentTimeline != expected) return false;
  currentTimeline = desired;
  return true;
}

bool TimelineCache::SetCurrentTimelineIfNone(std::int32_t timeline) {
  std::lock_guard<std::mutex> lock(timelineLock);
  if (currentTimeline >= 0) return false;
  currentTimeline = timeline;
  return true;
}

} // namespace ZYL
