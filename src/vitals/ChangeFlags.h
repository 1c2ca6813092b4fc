// Whether the sequence on screen was switched, re-cut or edited since the previous record.
#pragma once

#include "hostsdk/MediaSuites.h"

#include <array>
#include <cstdint>

namespace ZYL {

using SegmentsHash = std::array<std::uint8_t, hostsdk::kSegmentsHashSize>;

// What the previous records saw of the record's timeline.
struct TimelineHistory {
  std::int32_t previousTimeline = -1;
  std::int32_t previousCuts = -1; // last non-negative cut count seen
  bool haveHash = false;          // previousHash belongs to previousTimeline
  SegmentsHash previousHash{};
};

// What one pass read of its timeline; a timeline of -1 means none answered, cuts of -1
// means the count was not available, and no hash means the host could not give one.
struct TimelineReading {
  std::int32_t timeline = -1;
  std::int32_t cuts = -1;
  bool hashRead = false;
  SegmentsHash hash{};
};

struct ChangeFlags {
  bool seqChanged = false;
  bool cutsChanged = false;
  bool edited = false;
};

// Compares the reading with the history and carries the history forward. `edited` needs
// two hashes of the same timeline; a switch of timeline is reported as seqChanged alone.
ChangeFlags ApplyTimelineReading(TimelineHistory& history, const TimelineReading& reading) noexcept;

} // namespace ZYL
