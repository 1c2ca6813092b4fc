// The video segment suite and the segments and node handles it hands out. Each handle type
// releases what it obtained exactly once, so no early return can leak a host handle.
#pragma once

#include "host/ScopedSuite.h"
#include "hostsdk/MediaSuites.h"

#include <cstdint>

namespace ZYL {

// Acquired per operation and never kept between commands.
class VideoSegmentSuite {
public:
  explicit VideoSegmentSuite(const hostsdk::BasicSuite* basic) noexcept;

  // Held, with every position that the timeline code calls present: a table with holes
  // counts as missing rather than crashing the host at the first call.
  explicit operator bool() const noexcept;
  const hostsdk::VideoSegmentSuite9& operator*() const noexcept { return *suite_.get(); }

private:
  ScopedSuite<hostsdk::VideoSegmentSuite9> suite_;
};

// The segments of one timeline (position 0), released with position 3. Defined here so
// that the scan, which makes one per id, pays no call of its own around the host's.
class SegmentsHandle {
public:
  SegmentsHandle(const hostsdk::VideoSegmentSuite9& suite, std::int32_t timeline) noexcept
      : suite_(suite) {
    std::int32_t handle = 0;
    status_ = suite_.AcquireSegments(timeline, &handle);
    if (status_ == hostsdk::kSuccess) handle_ = handle;
  }
  ~SegmentsHandle() {
    if (handle_ != 0) suite_.ReleaseSegments(handle_);
  }
  SegmentsHandle(const SegmentsHandle&) = delete;
  SegmentsHandle& operator=(const SegmentsHandle&) = delete;

  // A non-zero handle: the id is a timeline.
  explicit operator bool() const noexcept { return handle_ != 0; }
  std::int32_t get() const noexcept { return handle_; }
  // The host's answer to the acquisition.
  hostsdk::ErrorCode status() const noexcept { return status_; }

private:
  const hostsdk::VideoSegmentSuite9& suite_;
  std::int32_t handle_ = 0;
  hostsdk::ErrorCode status_ = hostsdk::kSuccess;
};

enum class ChildKind { Input, Operator };

// One render node, released with position 8.
class NodeHandle {
public:
  // The root node of the segment at `time` (position 21); offset() is that segment's offset.
  NodeHandle(const hostsdk::VideoSegmentSuite9& suite, const SegmentsHandle& segments,
             std::int64_t time) noexcept;
  // Input (position 11) or operator (position 13) `index` of `parent`; offset() is the
  // input's offset, 0 for operators.
  NodeHandle(const hostsdk::VideoSegmentSuite9& suite, std::int32_t parent, ChildKind kind,
             std::int32_t index) noexcept;
  ~NodeHandle();
  NodeHandle(const NodeHandle&) = delete;
  NodeHandle& operator=(const NodeHandle&) = delete;

  explicit operator bool() const noexcept { return handle_ != 0; }
  std::int32_t get() const noexcept { return handle_; }
  std::int64_t offset() const noexcept { return offset_; }

private:
  const hostsdk::VideoSegmentSuite9& suite_;
  std::int32_t handle_ = 0;
  std::int64_t offset_ = 0;
};

} // namespace ZYL
