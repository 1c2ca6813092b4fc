// "Marker Suite" (versions 1 to 3 share one table): a timeline's markers, names in UTF-16.
#include "HostSuites.h"
#include "SuiteCall.h"

namespace zylsim {

namespace {

using hostsdk::ErrorCode;

template <typename Body>
ErrorCode OnMarker(int position, std::int32_t timeline, std::uint32_t index, Body&& body) noexcept {
  return Answer(SuiteId::SequenceMarker, position, [&](HostState&, const Project& project) {
    const Timeline* found = project.FindTimeline(timeline);
    if (found == nullptr || index >= found->markers.size()) return kUnknown;
    return body(found->markers[index]);
  });
}

ErrorCode GetMarkerCount(std::int32_t timeline, std::uint32_t* count) noexcept {
  return Answer(SuiteId::SequenceMarker, 0, [&](HostState&, const Project& project) {
    const Timeline* found = project.FindTimeline(timeline);
    if (found == nullptr) return kUnknown;
    if (count == nullptr) return hostsdk::kBadParameter;
    *count = static_cast<std::uint32_t>(found->markers.size());
    return hostsdk::kSuccess;
  });
}

ErrorCode GetMarkerNameSize(std::int32_t timeline, std::uint32_t index,
                            std::uint64_t* size) noexcept {
  return OnMarker(1, timeline, index, [&](const Marker& marker) {
    if (!marker.name) return kUnknown;
    if (size == nullptr) return hostsdk::kBadParameter;
    *size = marker.name->size() * sizeof(char16_t);
    return hostsdk::kSuccess;
  });
}

// Points the caller at the host's own copy rather than filling its buffer: the buffer's size
// is not passed, and the host's copy outlives any project change.
ErrorCode GetMarkerName(std::int32_t timeline, std::uint32_t index, char16_t** name) noexcept {
  return OnMarker(2, timeline, index, [&](const Marker& marker) {
    if (!marker.name) return kUnknown;
    if (name == nullptr) return hostsdk::kBadParameter;
    *name = const_cast<char16_t*>(marker.lastingName); // the interface is not const-correct
    return hostsdk::kSuccess;
  });
}

ErrorCode GetMarkerTime(std::int32_t timeline, std::uint32_t index, std::int64_t* time) noexcept {
  return OnMarker(3, timeline, index, [&](const Marker& marker) {
    if (!marker.time) return kUnknown;
    if (time == nullptr) return hostsdk::kBadParameter;
    *time = *marker.time;
    return hostsdk::kSuccess;
  });
}

} // namespace

const hostsdk::SequenceMarkerSuite& SequenceMarkerTable() {
  static const hostsdk::SequenceMarkerSuite table = {GetMarkerCount, GetMarkerNameSize,
                                                     GetMarkerName, GetMarkerTime};
  return table;
}

} // namespace zylsim
