// The host's media suites, acquired per operation: video segments and render nodes,
// sequence info, the time base and sequence markers.
#pragma once

#include "hostsdk/Types.h"

#include <cstddef>

namespace hostsdk {

inline constexpr const char* kVideoSegmentSuiteName = "Media Video Segment Suite";
inline constexpr std::int32_t kVideoSegmentSuiteVersion = 9;
inline constexpr const char* kSequenceInfoSuiteName = "Media Sequence Info Suite";
inline constexpr std::int32_t kSequenceInfoSuiteVersion = 9;
inline constexpr const char* kTimeSuiteName = "Host Time Suite";
inline constexpr std::int32_t kTimeSuiteVersion = 1;
inline constexpr const char* kSequenceMarkerSuiteName = "Marker Suite";

inline constexpr std::size_t kNodeKindSize = 256;
inline constexpr std::size_t kNodeHashSize = 48;
inline constexpr std::size_t kSegmentsHashSize = 37;

// Timeline ids, segments handles and node handles are signed 32-bit; 0 is no handle.
struct VideoSegmentSuite9 {
  // 0. Segments of a timeline; a non-zero handle means the id is a timeline.
  ErrorCode (*AcquireSegments)(std::int32_t timeline, std::int32_t* segments);
  UnusedEntry unused1_2[2]; // 1-2
  // 3. Releases a segments handle.
  ErrorCode (*ReleaseSegments)(std::int32_t segments);
  // 4. Writes kSegmentsHashSize bytes that change whenever the segments change.
  ErrorCode (*GetSegmentsHash)(std::int32_t segments, std::uint8_t* hash);
  // 5. Number of segments.
  ErrorCode (*GetSegmentCount)(std::int32_t segments, std::int32_t* count);
  UnusedEntry unused6_7[2]; // 6-7
  // 8. Releases a node handle.
  ErrorCode (*ReleaseNode)(std::int32_t node);
  // 9. Kind name (kNodeKindSize bytes, zero-terminated), hash scratch, flags.
  ErrorCode (*GetNodeInfo)(std::int32_t node, char* kind, void* hash, std::int32_t* flags);
  // 10. Number of inputs.
  ErrorCode (*GetNodeInputCount)(std::int32_t node, std::int32_t* count);
  // 11. One input with its offset; the handle is released with position 8.
  ErrorCode (*AcquireNodeInput)(std::int32_t node, std::int32_t index, std::int64_t* offset,
                                std::int32_t* input);
  // 12. Number of operators.
  ErrorCode (*GetNodeOperatorCount)(std::int32_t node, std::int32_t* count);
  // 13. One operator; the handle is released with position 8.
  ErrorCode (*AcquireNodeOperator)(std::int32_t node, std::int32_t index, std::int32_t* op);
  UnusedEntry unused14; // 14
  // 15. A text property; *value points at host-owned zero-terminated text, or stays null.
  ErrorCode (*GetNodeProperty)(std::int32_t node, const char* key, const char** value);
  UnusedEntry unused16_20[5]; // 16-20
  // 21. Root node of the segment that contains `time`, and that segment's offset.
  ErrorCode (*AcquireNodeAtTime)(std::int32_t segments, std::int64_t time, std::int32_t* node,
                                 std::int64_t* segmentOffset);
};

struct FrameRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

struct SequenceInfoSuite9 {
  ErrorCode (*GetFrameRect)(std::int32_t timeline, FrameRect* rect); // 0
  ErrorCode (*GetPixelAspectRatio)(std::int32_t timeline, std::uint32_t* numerator,
                                   std::uint32_t* denominator);                      // 1
  ErrorCode (*GetFrameDuration)(std::int32_t timeline, std::int64_t* ticksPerFrame); // 2
  UnusedEntry unused3;                                                               // 3
  ErrorCode (*GetZeroPoint)(std::int32_t timeline, std::int64_t* zeroPointTicks);    // 4
  ErrorCode (*GetDropFrame)(std::int32_t timeline, std::int32_t* dropFrame);         // 5
};

struct TimeSuite1 {
  ErrorCode (*GetTicksPerSecond)(std::int64_t* ticksPerSecond); // 0
};

// "Marker Suite" versions 1, 2 and 3 share this layout.
struct SequenceMarkerSuite {
  // 0. Number of markers of a timeline.
  ErrorCode (*GetMarkerCount)(std::int32_t timeline, std::uint32_t* count);
  // 1. Byte size of a marker's UTF-16 name (no terminator).
  ErrorCode (*GetMarkerNameSize)(std::int32_t timeline, std::uint32_t index, std::uint64_t* size);
  // 2. *name points at the caller's zeroed buffer on entry; the host fills it or points it
  //    at a buffer of its own that stays valid while the suite is held.
  ErrorCode (*GetMarkerName)(std::int32_t timeline, std::uint32_t index, char16_t** name);
  // 3. The marker's time in ticks.
  ErrorCode (*GetMarkerTime)(std::int32_t timeline, std::uint32_t index, std::int64_t* time);
};

} // namespace hostsdk
