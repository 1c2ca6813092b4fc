#include "timeline/VideoSegments.h"

namespace ZYL {

VideoSegmentSuite::VideoSegmentSuite(const hostsdk::BasicSuite* basic) noexcept
    : suite_(basic, hostsdk::kVideoSegmentSuiteName, hostsdk::kVideoSegmentSuiteVersion) {}

VideoSegmentSuite::operator bool() const noexcept {
  const hostsdk::VideoSegmentSuite9* table = suite_.get();
  return table != nullptr && table->AcquireSegments != nullptr &&
         table->ReleaseSegments != nullptr && table->GetSegmentCount != nullptr &&
         table->ReleaseNode != nullptr && table->GetNodeInfo != nullptr &&
         table->GetNodeInputCount != nullptr && table->AcquireNodeInput != nullptr &&
         table->GetNodeOperatorCount != nullptr && table->AcquireNodeOperator != nullptr &&
         table->GetNodeProperty != nullptr && table->AcquireNodeAtTime != nullptr;
}

NodeHandle::NodeHandle(const hostsdk::VideoSegmentSuite9& suite, const SegmentsHandle& segments,
                       std::int64_t time) noexcept
    : suite_(suite) {
  std::int32_t handle = 0;
  std::int64_t offset = 0;
  if (suite_.AcquireNodeAtTime(segments.get(), time, &handle, &offset) != hostsdk::kSuccess) return;
  handle_ = handle;
  offset_ = offset;
}

NodeHandle::NodeHandle(const hostsdk::VideoSegmentSuite9& suite, std::int32_t parent,
                       ChildKind kind, std::int32_t index) noexcept
    : suite_(suite) {
  std::int32_t handle = 0;
  std::int64_t offset = 0;
  const hostsdk::ErrorCode status = kind == ChildKind::Input
                                        ? suite_.AcquireNodeInput(parent, index, &offset, &handle)
                                        : suite_.AcquireNodeOperator(parent, index, &handle);
  if (status != hostsdk::kSuccess) return;
  handle_ = handle;
  offset_ = offset;
}

NodeHandle::~NodeHandle() {
  if (handle_ != 0) suite_.ReleaseNode(handle_);
}

} // namespace ZYL
