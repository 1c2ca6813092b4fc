#include "timeline/NodeVisitors.h"

#include "host/DecimalText.h"
#include "timeline/NodeReader.h"

#include <limits>
#include <optional>
#include <utility>

namespace ZYL {

namespace {

// A selected track of -1 or below selects nothing, and one at the top of the 32-bit range
// has no angle that fits; the sum is formed in 64 bits so that it cannot wrap.
std::int32_t AngleOfSelectedTrack(std::int32_t selectedTrack) {
  const std::int64_t angle = std::int64_t{selectedTrack} + 1;
  if (angle <= 0 || angle > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(angle);
}

// The angle a media or multicam node itself carries, 0 when it carries none.
std::int32_t OwnAngle(const NodeWalk& walk, std::int32_t node, NodeKind kind) {
  if (kind == NodeKind::Multicam) {
    const auto selected =
        ReadIntegerProperty(walk.suite, node, NodeProperty::kMulticamSelectedTrack);
    return selected ? AngleOfSelectedTrack(*selected) : 0;
  }
  if (kind != NodeKind::Media) return 0;
  // Only a nested sequence's selection is a multicam angle.
  const auto selected =
      ReadIntegerProperty(walk.suite, node, NodeProperty::kMediaSelectedMulticamTrack);
  if (!selected ||
      !ReadNodeProperty(walk.suite, node, NodeProperty::kMediaNestedSequenceHash).has_value())
    return 0;
  return AngleOfSelectedTrack(*selected);
}

} // namespace

std::int32_t AngleVisitor(const NodeWalk& walk, std::int32_t node, int depth,
                          std::int32_t inheritedTrack) {
  if (depth > kVisitorDepthLimit) return 0;
  const NodeKind kind = ReadNodeInfo(walk.suite, node).Kind();
  if (kind == NodeKind::Clip) {
    inheritedTrack =
        ReadIntegerProperty(walk.suite, node, NodeProperty::kClipTrack).value_or(inheritedTrack);
  }
  // A media node of another track closes its whole subtree.
  if (kind == NodeKind::Media && walk.trackFilter >= 0 && walk.trackFilter != inheritedTrack)
    return 0;
  std::int32_t angle = OwnAngle(walk, node, kind);
  if (angle > 0) return angle;
  WalkChildren(walk.suite, node, [&](const ChildNode& child) {
    angle = AngleVisitor(walk, child.node, depth + 1, inheritedTrack);
    return angle == 0;
  });
  return angle;
}

void FrameSizeVisitor(const NodeWalk& walk, std::int32_t node, int depth,
                      std::int32_t inheritedTrack, FrameSize& size) {
  if (depth > kVisitorDepthLimit || size.width > 0) return;
  const NodeKind kind = ReadNodeInfo(walk.suite, node).Kind();
  if (kind == NodeKind::Clip) {
    inheritedTrack =
        ReadIntegerProperty(walk.suite, node, NodeProperty::kClipTrack).value_or(inheritedTrack);
  }
  const bool onFilteredTrack = walk.trackFilter < 0 || inheritedTrack == walk.trackFilter;
  if (kind == NodeKind::Media && onFilteredTrack) {
    // Width and height come as a pair from the one media node that has a width.
    if (const auto width = ReadIntegerProperty(walk.suite, node, NodeProperty::kMediaFrameWidth)) {
      size.width = *width;
      size.height =
          ReadIntegerProperty(walk.suite, node, NodeProperty::kMediaFrameHeight).value_or(0);
    }
  }
  if (size.width != 0) return;
  WalkChildren(walk.suite, node, [&](const ChildNode& child) {
    FrameSizeVisitor(walk, child.node, depth + 1, inheritedTrack, size);
    return size.width == 0;
  });
}

void TransitionVisitor(const NodeWalk& walk, std::int32_t node, int depth, bool& clipOnTrack,
                       TransitionSide& side) {
  if (depth > kVisitorDepthLimit) return;
  const NodeKind kind = ReadNodeInfo(walk.suite, node).Kind();
  if (kind == NodeKind::Clip) {
    const auto track = ReadIntegerProperty(walk.suite, node, NodeProperty::kClipTrack);
    if (track && (walk.trackFilter < 0 || *track == walk.trackFilter)) clipOnTrack = true;
  }
  if (kind == NodeKind::Transition && side.name == kNoTransitionName) {
    if (auto name = ReadNodeProperty(walk.suite, node, NodeProperty::kTransitionMatchName))
      side.name = std::move(*name);
    if (const auto text = ReadNodeProperty(walk.suite, node, NodeProperty::kTransitionDuration))
      side.duration = ParseInt64(*text).value_or(side.duration);
    if (side.name.empty())
      side.name.assign(1, '?'); // assign(): GCC 12 misreads "?" as an overlapping copy
  }
  WalkChildren(walk.suite, node, [&](const ChildNode& child) {
    TransitionVisitor(walk, child.node, depth + 1, clipOnTrack, side);
    return true;
  });
}

} // namespace ZYL
