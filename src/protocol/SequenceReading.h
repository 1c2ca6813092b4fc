// What the host says about one sequence, read once for both protocols' formatters.
#pragma once

#include "hostsdk/MediaSuites.h"
#include "protocol/EngineParts.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ZYL {

struct PixelAspect {
  std::uint32_t numerator = 1;
  std::uint32_t denominator = 1;
};

// Each value the host gave; none where its call failed. The text protocol writes its
// defaults in their place, the JSON protocol null.
struct SequenceValues {
  std::optional<std::int64_t> ticksPerSecond;
  std::int64_t ticksPerFrame = 0; // always positive: a reading without it has a fault
  std::optional<hostsdk::FrameRect> rect;
  std::optional<PixelAspect> pixelAspect;
  std::optional<bool> dropFrame;
  std::optional<std::int64_t> zeroPointTicks;
};

struct SequenceReading {
  enum class Fault {
    None,
    NoTimeline, // none was named and the engine knows none
    NoSuite,    // the host offers no complete Sequence Info suite
    Refused,    // the frame duration: refused with `status`, or not positive (`status` success)
  };
  std::int32_t timeline = -1; // the timeline asked; -1 when none is known
  Fault fault = Fault::NoTimeline;
  hostsdk::ErrorCode status = hostsdk::kSuccess;
  SequenceValues values; // when there is no fault
};

// The timeline `requested`, else the one the engine knows best (scanning when it knows
// none).
SequenceReading ReadSequence(EngineParts& engine, std::optional<std::int32_t> requested);

// The timelines the engine knows, best first; when it knows none, those a scan finds (a
// scan runs only when none ever did or the cache turned out wrong).
std::vector<std::int32_t> KnownTimelines(EngineParts& engine);

// A frame extent from two host edges. Edges are host values: subtracted modulo 2^32 so that
// an absurd rectangle gives an absurd size instead of undefined behaviour.
inline std::int32_t Extent(std::int32_t low, std::int32_t high) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(high) -
                                   static_cast<std::uint32_t>(low));
}

} // namespace ZYL
