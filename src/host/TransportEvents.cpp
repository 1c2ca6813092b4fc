// The host's transport and marker notifications: they update the live state that the
// vitals record reports and push an event text to the subscribed clients.
#include "host/EventTexts.h"
#include "host/ZYLEngineControlSurface.h"

#include <algorithm>
#include <chrono>

namespace ZYL {
namespace {

// Room the host gets for one timecode text, terminator included.
constexpr std::uint32_t kTimecodeBufferSize = 64;

std::int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// -1 stands for "unknown" in the pushed text: no marker suite or object, or a failed call.
std::int32_t HostMarkerCount(const hostsdk::HostMarkerSuite1* markerSuite,
                             hostsdk::HostObject markerHost) {
  if (markerSuite == nullptr || markerHost == nullptr || markerSuite->GetMarkerCount == nullptr)
    return -1;
  std::int32_t count = 0;
  return markerSuite->GetMarkerCount(markerHost, &count) == hostsdk::kSuccess ? count : -1;
}

} // namespace

hostsdk::ErrorCode ZYLEngineControlSurface::OnStop(bool on) {
  if (on) playing.exchange(false);
  PublishEvent(TransportEventText("stop", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnPlay(bool on) {
  playing.exchange(on);
  PublishEvent(TransportEventText("play", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnRecord(bool on) {
  recording.exchange(on);
  PublishEvent(TransportEventText("record", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnRewind(bool on) {
  rewind.exchange(on);
  PublishEvent(TransportEventText("rewind", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnFastForward(bool on) {
  ffwd.exchange(on);
  PublishEvent(TransportEventText("ffwd", on));
  return hostsdk::kSuccess;
}

// The host's meaning for this toggle is not reported to clients.
hostsdk::ErrorCode ZYLEngineControlSurface::OnAuxiliaryToggle(bool) { return hostsdk::kSuccess; }

hostsdk::ErrorCode ZYLEngineControlSurface::OnPause(bool on) {
  paused.exchange(on);
  if (on) playing.exchange(false);
  PublishEvent(TransportEventText("pause", on));
  return hostsdk::kSuccess;
}

// Only the vitals record reads the timecode, so it is not even copied while nobody listens.
hostsdk::ErrorCode ZYLEngineControlSurface::OnTimecode(std::int32_t mode,
                                                       const hostsdk::HostString* text) {
  if (subscriberCount.load() <= 0 || text == nullptr || stringSuite == nullptr ||
      stringSuite->CopyToUtf8 == nullptr)
    return hostsdk::kSuccess;
  char buffer[kTimecodeBufferSize] = {};
  std::uint32_t size = kTimecodeBufferSize;
  if (stringSuite->CopyToUtf8(text, buffer, &size) != hostsdk::kSuccess) return hostsdk::kSuccess;
  // A host that fills the whole buffer without a terminator still yields at most 64 bytes.
  char* const end = std::find(buffer, buffer + kTimecodeBufferSize, '\0');
  std::lock_guard<std::mutex> lock(timecodeLock);
  timecodeText.assign(buffer, end);
  displayMode = mode;
  timecodeStamp = SteadyNanoseconds();
  return hostsdk::kSuccess;
}

void ZYLEngineControlSurface::OnMarkerChanged(std::uint32_t index) {
  PublishEvent(MarkerChangedText(index, HostMarkerCount(markerSuite, markerHost)));
}

void ZYLEngineControlSurface::OnMarkersRebuilt() {
  PublishEvent(MarkersRebuiltText(HostMarkerCount(markerSuite, markerHost)));
}

} // namespace ZYL
