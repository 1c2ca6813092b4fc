// The known timeline ids, the current timeline, the probing scan and the search order
// through which the timeline commands visit timelines.
#pragma once

#include "hostsdk/BasicSuite.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace ZYL {

// Whether what a query finds may move the current timeline: the text protocol's queries
// move it, so that the next query starts where the last one found something; the JSON
// protocol's never do, so that one client's question does not change another's answers.
enum class CurrentTimelineUse { Move, Keep };

class TimelineCache {
public:
  using Probe = std::function<bool(std::int32_t timeline)>;
  // Monotonic nanoseconds; replaceable so that tests can age the cache without waiting.
  using Clock = std::function<std::int64_t()>;

  // `keepRunning` ends a scan early once it turns false (the server is stopping); such a
  // scan installs nothing.
  TimelineCache(const hostsdk::BasicSuite* basicSuite, const std::atomic<bool>& keepRunning,
                Clock clock = SteadyNanoseconds);

  // The current timeline (when >= 0) followed by the other known ids in stored order.
  std::vector<std::int32_t> OrderedTimelines() const;
  // Rescans when no scan ever installed a result, or (rescanIfStale) when the last one is
  // 5 seconds old or older; returns OrderedTimelines().
  std::vector<std::int32_t> ScanTimelines(bool rescanIfStale);
  // Appends an id that is not yet known.
  void NoteTimeline(std::int32_t timeline);
  // A host that answers 'bad parameter' for an id no longer has that timeline (another
  // project was opened, say): the id leaves the cache, current or known, and the next scan
  // is made however fresh the last one was. Other failures keep the id.
  void NoteRefusal(std::int32_t timeline, hostsdk::ErrorCode status);
  // Probes OrderedTimelines(), then ScanTimelines(true), until one probe succeeds.
  bool SearchTimelines(const Probe& probe);

  // The host's basic suite, from which every timeline question acquires its suites.
  const hostsdk::BasicSuite* BasicSuite() const noexcept { return basicSuite_; }
  // False once the server is stopping: long work ends early.
  bool KeepRunning() const noexcept { return keepRunning_.load(std::memory_order_relaxed); }

  std::int32_t CurrentTimeline() const;
  void SetCurrentTimeline(std::int32_t timeline);
  // Sets the current timeline to `desired` only while it equals `expected`.
  bool ReplaceCurrentTimeline(std::int32_t expected, std::int32_t desired);
  // Sets the current timeline only while none is set (negative).
  bool SetCurrentTimelineIfNone(std::int32_t timeline);

private:
  static std::int64_t SteadyNanoseconds();
  std::vector<std::int32_t> OrderedTimelinesLocked() const;
  void ForgetTimelineLocked(std::int32_t timeline);
  // Probes every id within the bounds; false when the server stopped before the end.
  bool ProbeTimelineIds(std::int64_t start, std::vector<std::int32_t>& hits) const;
  void InstallScan(std::vector<std::int32_t> hits);

  const hostsdk::BasicSuite* basicSuite_;
  const std::atomic<bool>& keepRunning_;
  const Clock clock_;

  mutable std::mutex timelineLock;
  std::int32_t currentTimeline = -1;
  std::vector<std::int32_t> knownTimelines;
  bool timelinesScanned = false;
  std::int64_t lastTimelineScan = 0;
  bool staleScan = false; // an id the last scan found has gone
};

} // namespace ZYL
