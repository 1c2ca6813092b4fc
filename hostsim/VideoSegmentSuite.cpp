// "Media Video Segment Suite": timelines' segments and their render-node trees. Handles keep
// the project model they came from alive, so a project change never pulls a tree from under
// an engine thread that is still reading it.
#include "HostSuites.h"
#include "SuiteCall.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zylsim {

namespace {

using hostsdk::ErrorCode;
using ProjectPtr = std::shared_ptr<const Project>;
using NodePtr = std::shared_ptr<const Node>;

// The simulated cost of one host call that tests a timeline id.
void SpendProbeDelay(std::int64_t delayNs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(delayNs);
  while (std::chrono::steady_clock::now() < until) {
  }
}

// Failure status of a node lookup at a time without a segment.
constexpr ErrorCode kNoSegmentAtTime = 1;

// This path runs once per id of the engine's timeline scan: no lock, no allocation.
ErrorCode AcquireSegments(std::int32_t timeline, std::int32_t* segments) noexcept {
  HostState* host = ActiveHost();
  if (host == nullptr) return kNoHost;
  const ProbeIndex& probe = host->store.Probe();
  if (probe.delayNs > 0) SpendProbeDelay(probe.delayNs);
  if (probe.failure) return *probe.failure;
  if (segments == nullptr) return hostsdk::kBadParameter;
  if (!probe.IsTimeline(timeline)) return kUnknown;
  return Answer(SuiteId::VideoSegment, 0, [&](HostState& state, const ProjectPtr& project) {
    const Timeline* found = project->FindTimeline(timeline);
    if (found == nullptr) return kUnknown; // removed since the index was read
    *segments = state.ledger.segments.Add(std::shared_ptr<const Timeline>(project, found));
    return hostsdk::kSuccess;
  });
}

ErrorCode ReleaseSegments(std::int32_t segments) noexcept {
  return Answer(SuiteId::VideoSegment, 3, [&](HostState& host, const Project&) {
    return host.ledger.segments.Release(segments) ? hostsdk::kSuccess : hostsdk::kBadParameter;
  });
}

template <typename Body> ErrorCode OnSegments(int position, std::int32_t segments, Body&& body) {
  return Answer(SuiteId::VideoSegment, position, [&](HostState& host, const Project&) {
    const auto timeline = host.ledger.segments.Find(segments);
    if (!timeline) return kUnknown;
    return body(host, *timeline);
  });
}

ErrorCode GetSegmentsHash(std::int32_t segments, std::uint8_t* hash) noexcept {
  return OnSegments(4, segments, [&](HostState&, const std::shared_ptr<const Timeline>& timeline) {
    if (hash == nullptr) return hostsdk::kBadParameter;
    std::copy(timeline->segmentsHash.begin(), timeline->segmentsHash.end(), hash);
    return hostsdk::kSuccess;
  });
}

ErrorCode GetSegmentCount(std::int32_t segments, std::int32_t* count) noexcept {
  return OnSegments(5, segments, [&](HostState&, const std::shared_ptr<const Timeline>& timeline) {
    if (count == nullptr) return hostsdk::kBadParameter;
    *count = static_cast<std::int32_t>(timeline->segments.size());
    return hostsdk::kSuccess;
  });
}

ErrorCode AcquireNodeAtTime(std::int32_t segments, std::int64_t time, std::int32_t* node,
                            std::int64_t* segmentOffset) noexcept {
  return OnSegments(21, segments,
                    [&](HostState& host, const std::shared_ptr<const Timeline>& timeline) {
                      if (node == nullptr || segmentOffset == nullptr)
                        return hostsdk::kBadParameter;
                      const Segment* segment = timeline->SegmentAt(time);
                      if (segment == nullptr || !segment->root) return kNoSegmentAtTime;
                      *node = host.ledger.nodes.Add(NodePtr(timeline, &*segment->root));
                      *segmentOffset = segment->offset;
                      return hostsdk::kSuccess;
                    });
}

ErrorCode ReleaseNode(std::int32_t node) noexcept {
  return Answer(SuiteId::VideoSegment, 8, [&](HostState& host, const Project&) {
    return host.ledger.nodes.Release(node) ? hostsdk::kSuccess : hostsdk::kBadParameter;
  });
}

template <typename Body> ErrorCode OnNode(int position, std::int32_t node, Body&& body) {
  return Answer(SuiteId::VideoSegment, position, [&](HostState& host, const Project&) {
    const auto found = host.ledger.nodes.Find(node);
    if (!found) return kUnknown;
    return body(host, *found);
  });
}

ErrorCode GetNodeInfo(std::int32_t node, char* kind, void*, std::int32_t* flags) noexcept {
  return OnNode(9, node, [&](HostState&, const NodePtr& found) {
    if (kind != nullptr) {
      const std::string& text = found->kind ? *found->kind : std::string();
      const std::size_t length = std::min(text.size(), hostsdk::kNodeKindSize - 1);
      std::memcpy(kind, text.data(), length);
      kind[length] = '\0';
    }
    if (flags != nullptr) *flags = found->flags;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetNodeInputCount(std::int32_t node, std::int32_t* count) noexcept {
  return OnNode(10, node, [&](HostState&, const NodePtr& found) {
    if (count == nullptr) return hostsdk::kBadParameter;
    *count = static_cast<std::int32_t>(found->inputs.size());
    return hostsdk::kSuccess;
  });
}

ErrorCode AcquireNodeInput(std::int32_t node, std::int32_t index, std::int64_t* offset,
                           std::int32_t* input) noexcept {
  return OnNode(11, node, [&](HostState& host, const NodePtr& found) {
    if (offset == nullptr || input == nullptr) return hostsdk::kBadParameter;
    if (index < 0 || static_cast<std::size_t>(index) >= found->inputs.size()) return kUnknown;
    const NodeInput& child = found->inputs[static_cast<std::size_t>(index)];
    *input = host.ledger.nodes.Add(NodePtr(found, &child.node));
    *offset = child.offset;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetNodeOperatorCount(std::int32_t node, std::int32_t* count) noexcept {
  return OnNode(12, node, [&](HostState&, const NodePtr& found) {
    if (count == nullptr) return hostsdk::kBadParameter;
    *count = static_cast<std::int32_t>(found->operators.size());
    return hostsdk::kSuccess;
  });
}

ErrorCode AcquireNodeOperator(std::int32_t node, std::int32_t index, std::int32_t* op) noexcept {
  return OnNode(13, node, [&](HostState& host, const NodePtr& found) {
    if (op == nullptr) return hostsdk::kBadParameter;
    if (index < 0 || static_cast<std::size_t>(index) >= found->operators.size()) return kUnknown;
    *op = host.ledger.nodes.Add(NodePtr(found, &found->operators[static_cast<std::size_t>(index)]));
    return hostsdk::kSuccess;
  });
}

// The text stays valid while the node handle is held.
ErrorCode GetNodeProperty(std::int32_t node, const char* key, const char** value) noexcept {
  return OnNode(15, node, [&](HostState&, const NodePtr& found) {
    if (key == nullptr || value == nullptr) return hostsdk::kBadParameter;
    const auto property = found->props.find(std::string_view(key));
    if (property == found->props.end()) return kUnknown;
    *value = property->second ? property->second->c_str() : nullptr;
    return hostsdk::kSuccess;
  });
}

} // namespace

const hostsdk::VideoSegmentSuite9& VideoSegmentTable() {
  static const hostsdk::VideoSegmentSuite9 table = [] {
    hostsdk::VideoSegmentSuite9 t{};
    t.AcquireSegments = AcquireSegments;
    std::fill(std::begin(t.unused1_2), std::end(t.unused1_2), Unused);
    t.ReleaseSegments = ReleaseSegments;
    t.GetSegmentsHash = GetSegmentsHash;
    t.GetSegmentCount = GetSegmentCount;
    std::fill(std::begin(t.unused6_7), std::end(t.unused6_7), Unused);
    t.ReleaseNode = ReleaseNode;
    t.GetNodeInfo = GetNodeInfo;
    t.GetNodeInputCount = GetNodeInputCount;
    t.AcquireNodeInput = AcquireNodeInput;
    t.GetNodeOperatorCount = GetNodeOperatorCount;
    t.AcquireNodeOperator = AcquireNodeOperator;
    t.unused14 = Unused;
    t.GetNodeProperty = GetNodeProperty;
    std::fill(std::begin(t.unused16_20), std::end(t.unused16_20), Unused);
    t.AcquireNodeAtTime = AcquireNodeAtTime;
    return t;
  }();
  return table;
}

} // namespace zylsim
