// "Media Sequence Info Suite" and "Host Time Suite": a timeline's frame format and the
// project's time base.
#include "HostSuites.h"
#include "SuiteCall.h"

namespace zylsim {

namespace {

using hostsdk::ErrorCode;

// A timeline without sequence settings fails every call.
template <typename Body>
ErrorCode OnSequence(int position, std::int32_t timeline, Body&& body) noexcept {
  return Answer(SuiteId::SequenceInfo, position, [&](HostState&, const Project& project) {
    const Timeline* found = project.FindTimeline(timeline);
    if (found == nullptr || !found->sequence) return kUnknown;
    return body(*found->sequence);
  });
}

ErrorCode GetFrameRect(std::int32_t timeline, hostsdk::FrameRect* rect) noexcept {
  return OnSequence(0, timeline, [&](const SequenceSettings& sequence) {
    if (rect == nullptr) return hostsdk::kBadParameter;
    *rect = sequence.rect;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetPixelAspectRatio(std::int32_t timeline, std::uint32_t* numerator,
                              std::uint32_t* denominator) noexcept {
  return OnSequence(1, timeline, [&](const SequenceSettings& sequence) {
    if (numerator == nullptr || denominator == nullptr) return hostsdk::kBadParameter;
    *numerator = sequence.parNumerator;
    *denominator = sequence.parDenominator;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetFrameDuration(std::int32_t timeline, std::int64_t* ticksPerFrame) noexcept {
  return OnSequence(2, timeline, [&](const SequenceSettings& sequence) {
    if (ticksPerFrame == nullptr) return hostsdk::kBadParameter;
    *ticksPerFrame = sequence.ticksPerFrame;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetZeroPoint(std::int32_t timeline, std::int64_t* zeroPointTicks) noexcept {
  return OnSequence(4, timeline, [&](const SequenceSettings& sequence) {
    if (zeroPointTicks == nullptr) return hostsdk::kBadParameter;
    *zeroPointTicks = sequence.zeroPoint;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetDropFrame(std::int32_t timeline, std::int32_t* dropFrame) noexcept {
  return OnSequence(5, timeline, [&](const SequenceSettings& sequence) {
    if (dropFrame == nullptr) return hostsdk::kBadParameter;
    *dropFrame = sequence.dropFrame ? 1 : 0;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetTicksPerSecond(std::int64_t* ticksPerSecond) noexcept {
  return Answer(SuiteId::Time, 0, [&](HostState&, const Project& project) {
    if (ticksPerSecond == nullptr) return hostsdk::kBadParameter;
    *ticksPerSecond = project.ticksPerSecond;
    return hostsdk::kSuccess;
  });
}

} // namespace

const hostsdk::SequenceInfoSuite9& SequenceInfoTable() {
  static const hostsdk::SequenceInfoSuite9 table = {
      GetFrameRect, GetPixelAspectRatio, GetFrameDuration, Unused, GetZeroPoint, GetDropFrame};
  return table;
}

const hostsdk::TimeSuite1& TimeTable() {
  static const hostsdk::TimeSuite1 table = {GetTicksPerSecond};
  return table;
}

} // namespace zylsim
