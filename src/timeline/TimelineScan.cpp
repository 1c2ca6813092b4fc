// The timeline scan: probes a client-chosen id range and reports how the answering ids group.
#include "timeline/TimelineQueries.h"
#include "timeline/VideoSegments.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <string>

namespace ZYL {

namespace {

constexpr std::int64_t kBudgetCheckInterval = 4096;
// The reply stays bounded whatever the range.
constexpr std::int64_t kMaxListedGroups = 400;
constexpr std::int32_t kMaxListedMarked = 64;
constexpr std::int64_t kNoMarkers = -1;

using MarkerSuite = ScopedSuite<hostsdk::SequenceMarkerSuite>;

using SteadyClock = std::chrono::steady_clock;

// Whole milliseconds, truncated.
std::int64_t ElapsedMs(SteadyClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

// A run of consecutive hits with the same segment and marker counts.
struct HitGroup {
  std::int64_t first;
  std::int64_t last;
  std::int64_t count;
  std::int32_t segments;
  std::int64_t markers;
};

std::string NumberOrNull(std::int64_t markers) {
  return markers == kNoMarkers ? "null" : std::to_string(markers);
}

void AppendListed(std::string& list, const std::string& object) {
  if (!list.empty()) list += ',';
  list += object;
}

class ScanReport {
public:
  std::int64_t scanned = 0;
  bool budgetHit = false;

  void AddHit(std::int64_t id, std::int32_t segments, std::int64_t markers) {
    ++hits_;
    if (markers > 0 && markedCount_ < kMaxListedMarked) {
      AppendListed(marked_, "{\"id\":" + std::to_string(id) +
                                ",\"markers\":" + std::to_string(markers) + "}");
      ++markedCount_;
    }
    if (open_ && open_->last == id - 1 && open_->segments == segments &&
        open_->markers == markers) {
      ++open_->count;
      open_->last = id;
      return;
    }
    CloseGroup();
    open_ = HitGroup{id, id, 1, segments, markers};
  }

  void CloseGroup() {
    if (!open_) return;
    if (groupsTotal_ < kMaxListedGroups) {
      AppendListed(groups_, "{\"a\":" + std::to_string(open_->first) +
                                ",\"b\":" + std::to_string(open_->last) +
                                ",\"n\":" + std::to_string(open_->count) +
                                ",\"segs\":" + std::to_string(open_->segments) +
                                ",\"markers\":" + NumberOrNull(open_->markers) + "}");
    }
    ++groupsTotal_;
    open_.reset();
  }

  std::string Record(std::int64_t from, std::int64_t to, std::int64_t elapsedMs) const {
    return "{\"from\":" + std::to_string(from) + ",\"to\":" + std::to_string(to) +
           ",\"scanned\":" + std::to_string(scanned) +
           ",\"elapsedMs\":" + std::to_string(elapsedMs) +
           ",\"budgetHit\":" + (budgetHit ? "true" : "false") +
           ",\"hits\":" + std::to_string(hits_) +
           ",\"groupsTotal\":" + std::to_string(groupsTotal_) + ",\"groups\":[" + groups_ +
           "],\"marked\":[" + marked_ + "]}";
  }

private:
  std::int64_t hits_ = 0;
  std::int64_t groupsTotal_ = 0;
  std::string groups_;
  std::string marked_;
  std::int32_t markedCount_ = 0;
  std::optional<HitGroup> open_;
};

std::int32_t SegmentCount(const hostsdk::VideoSegmentSuite9& suite,
                          const SegmentsHandle& segments) {
  std::int32_t count = -1;
  if (suite.GetSegmentCount(segments.get(), &count) != hostsdk::kSuccess) return -1;
  return count;
}

std::int64_t MarkerCount(const MarkerSuite& markers, std::int32_t timeline) {
  if (!markers || markers->GetMarkerCount == nullptr) return kNoMarkers;
  std::uint32_t count = 0;
  if (markers->GetMarkerCount(timeline, &count) != hostsdk::kSuccess) return kNoMarkers;
  return count;
}

void ScanRange(TimelineCache& timelines, std::int64_t from, std::int64_t to, std::int64_t budgetMs,
               CurrentTimelineUse current, SteadyClock::time_point start, ScanReport& report) {
  const VideoSegmentSuite suite(timelines.BasicSuite());
  if (!suite) return;
  const MarkerSuite markers(timelines.BasicSuite(), hostsdk::kSequenceMarkerSuiteName, {3, 2, 1});
  // Both ends are clamped to timeline ids, but the difference is still taken only when it is
  // positive, so that no pair of client-chosen ends can make it overflow.
  report.scanned = from < to ? to - from : 0;
  for (std::int64_t id = from; id < to; ++id) {
    const std::int64_t n = id - from + 1;
    const bool outOfBudget = n % kBudgetCheckInterval == 0 && ElapsedMs(start) > budgetMs;
    // A client-chosen range may be long; a stopping server must not wait for it.
    if (outOfBudget || !timelines.KeepRunning()) {
      report.budgetHit = true;
      report.scanned = n;
      break;
    }
    const auto timeline = static_cast<std::int32_t>(id);
    std::int32_t segments = 0;
    {
      const SegmentsHandle handle(*suite, timeline);
      if (!handle) continue;
      segments = SegmentCount(*suite, handle);
    }
    report.AddHit(id, segments, MarkerCount(markers, timeline));
    timelines.NoteTimeline(timeline);
    if (current == CurrentTimelineUse::Move) timelines.SetCurrentTimelineIfNone(timeline);
  }
  report.CloseGroup();
}

} // namespace

std::string ScanTimelineRange(TimelineCache& timelines, std::int64_t from, std::int64_t to,
                              std::int64_t budgetMs, CurrentTimelineUse current) {
  const SteadyClock::time_point start = SteadyClock::now();
  // Timeline ids are 32-bit and never negative, whatever range the caller passed.
  from = std::max<std::int64_t>(from, 0);
  to = std::min<std::int64_t>(to, std::numeric_limits<std::int32_t>::max());
  ScanReport report;
  ScanRange(timelines, from, to, budgetMs, current, start, report);
  return report.Record(from, to, ElapsedMs(start));
}

} // namespace ZYL
