// The three walks that answer the timeline queries. Each looks at a node before its
// children and keeps its state in what the caller passes; none releases the node it is
// given, only the children it acquires.
#pragma once

#include "hostsdk/MediaSuites.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ZYL {

// Deeper trees, or cyclic ones, are cut off silently below this depth.
inline constexpr int kVisitorDepthLimit = 10;

// What a walk shares between all its nodes. trackFilter -1 means any track.
struct NodeWalk {
  const hostsdk::VideoSegmentSuite9& suite;
  std::int32_t trackFilter;
};

// The multicam angle (selected track + 1) of the first qualifying node in walk order, or 0.
std::int32_t AngleVisitor(const NodeWalk& walk, std::int32_t node, int depth,
                          std::int32_t inheritedTrack);

struct FrameSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The stream size of the first media node on the filtered track that yields a width.
void FrameSizeVisitor(const NodeWalk& walk, std::int32_t node, int depth,
                      std::int32_t inheritedTrack, FrameSize& size);

// One end of a clip: "-" and 0 until a transition with a readable name is found.
// The name of a side that has no transition, as the text protocol sends it.
inline constexpr std::string_view kNoTransitionName = "-";

struct TransitionSide {
  std::string name{kNoTransitionName};
  std::int64_t duration = 0;
};

// Sets clipOnTrack when a clip of the filtered track is found, and fills `side` from the
// first transition whose match name reads. A duration that is not a decimal number (or
// beyond 64 bits) leaves the side's duration as it was.
void TransitionVisitor(const NodeWalk& walk, std::int32_t node, int depth, bool& clipOnTrack,
                       TransitionSide& side);

} // namespace ZYL
