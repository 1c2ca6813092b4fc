// Reading one render node: its kind, its text properties, and its children, walked inputs
// first, then operators. The visitors and the node dump all walk through WalkChildren.
#pragma once

#include "hostsdk/MediaSuites.h"
#include "timeline/VideoSegments.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

namespace NodeKindName {
inline constexpr std::string_view kClip = "RenderableNodeClipImpl";
inline constexpr std::string_view kMedia = "RenderableNodeMediaImpl";
inline constexpr std::string_view kMulticam = "RenderableNodeMulticamImpl";
inline constexpr std::string_view kTransition = "RenderableNodeTransitionImpl";
} // namespace NodeKindName

namespace NodeProperty {
inline constexpr const char* kClipTrack = "ClipNode::TrackID";
inline constexpr const char* kMediaSelectedMulticamTrack = "MediaNode::SelectedMulticamTrack";
inline constexpr const char* kMediaNestedSequenceHash = "MediaNode::NestedSequenceHash";
inline constexpr const char* kMulticamSelectedTrack = "MulticamNode::SelectedTrack";
inline constexpr const char* kMediaFrameWidth = "MediaNode::StreamFrameWidth";
inline constexpr const char* kMediaFrameHeight = "MediaNode::StreamFrameHeight";
inline constexpr const char* kTransitionMatchName = "TransitionNode::TransitionMatchName";
inline constexpr const char* kTransitionDuration = "TransitionNode::TransitionDuration";
} // namespace NodeProperty

enum class NodeKind { Other, Clip, Media, Multicam, Transition };

// What position 9 wrote. Its status is not tested: a node the host wrote nothing for has an
// empty name and matches no kind.
struct NodeInfo {
  std::array<char, hostsdk::kNodeKindSize> kindName{};
  std::int32_t flags = 0;

  // Stops at the buffer's end when the host filled it without a terminator.
  std::string_view KindName() const;
  NodeKind Kind() const;
};

NodeInfo ReadNodeInfo(const hostsdk::VideoSegmentSuite9& suite, std::int32_t node);

// The property's text, copied at once; absent when the call fails or gives a null pointer.
std::optional<std::string> ReadNodeProperty(const hostsdk::VideoSegmentSuite9& suite,
                                            std::int32_t node, const char* key);

// Decimal property text read the way atoi reads it (leading blanks, sign, digits up to the
// first non-digit, 0 without digits), except that a value beyond 32 bits saturates instead
// of overflowing.
std::int32_t PropertyInteger(const std::string& text);

// ReadNodeProperty converted with PropertyInteger.
std::optional<std::int32_t> ReadIntegerProperty(const hostsdk::VideoSegmentSuite9& suite,
                                                std::int32_t node, const char* key);

// The input or operator count; 0 when the host cannot tell.
std::int32_t ReadChildCount(const hostsdk::VideoSegmentSuite9& suite, std::int32_t node,
                            ChildKind kind);

struct ChildNode {
  ChildKind kind;
  std::int32_t index;
  std::int64_t offset; // of an input; 0 for operators
  std::int32_t node;
};

// Visits the inputs, then the operators, lower indices first. `onCount(kind, count)` hears
// each count before that kind's children; `onChild(child)` returns false to end the walk.
// Children the host fails to give (or gives as 0) are skipped; each child handle is
// released as soon as onChild returns.
template <typename OnCount, typename OnChild>
void WalkChildren(const hostsdk::VideoSegmentSuite9& suite, std::int32_t node, OnCount&& onCount,
                  OnChild&& onChild) {
  for (const ChildKind kind : {ChildKind::Input, ChildKind::Operator}) {
    const std::int32_t count = ReadChildCount(suite, node, kind);
    onCount(kind, count);
    for (std::int32_t index = 0; index < count; ++index) {
      const NodeHandle child(suite, node, kind, index);
      if (!child) continue;
      if (!onChild(ChildNode{kind, index, child.offset(), child.get()})) return;
    }
  }
}

template <typename OnChild>
void WalkChildren(const hostsdk::VideoSegmentSuite9& suite, std::int32_t node, OnChild&& onChild) {
  WalkChildren(
      suite, node, [](ChildKind, std::int32_t) {}, onChild);
}

} // namespace ZYL
