// The host's transport and marker notifications: they update the live state that the
// vitals record reports and push an event text to the subscribed clients.
#include "host/SteadyClock.h"
#include "plugin/ZYLEngineControlSurface.h"
#include "vitals/EventTexts.h"

#include <algorithm>

namespace ZYL {
namespace {

// Room the host gets for one timecode text, terminator included.
constexpr std::uint32_t kTimecodeBufferSize = 64;

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
  if (on) transport.playing.exchange(false);
  events->PublishEvent(TransportEventText("stop", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnPlay(bool on) {
  transport.playing.exchange(on);
  events->PublishEvent(TransportEventText("play", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnRecord(bool on) {
  transport.recording.exchange(on);
  events->PublishEvent(TransportEventText("record", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnRewind(bool on) {
  transport.rewind.exchange(on);
  events->PublishEvent(TransportEventText("rewind", on));
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::OnFastForward(bool on) {
  transport.ffwd.exchange(on);
  events->PublishEvent(TransportEventText("ffwd", on));
  return hostsdk::kSuccess;
}

// The host's meaning for this toggle is not reported to clients.
hostsdk::ErrorCode ZYLEngineControlSurface::OnAuxiliaryToggle(bool) { return hostsdk::kSuccess; }

hostsdk::ErrorCode ZYLEngineControlSurface::OnPause(bool on) {
  transport.paused.exchange(on);
  if (on) transport.playing.exchange(false);
  events->PublishEvent(TransportEventText("pause", on));
  return hostsdk::kSuccess;
}

// Only the vitals record and the playhead read the timecode, so it is not even copied while
// nobody listens. The playhead is derived on its own thread, not here.
hostsdk::ErrorCode ZYLEngineControlSurface::OnTimecode(std::int32_t mode,
                                                       const hostsdk::HostString* text) {
  const hostsdk::StringSuite1* strings = host.stringSuite;
  if (!events->HasSubscribers() || text == nullptr || strings == nullptr ||
      strings->CopyToUtf8 == nullptr)
    return hostsdk::kSuccess;
  char buffer[kTimecodeBufferSize] = {};
  std::uint32_t size = kTimecodeBufferSize;
  if (strings->CopyToUtf8(text, buffer, &size) != hostsdk::kSuccess) return hostsdk::kSuccess;
  // A host that fills the whole buffer without a terminator still yields at most 64 bytes.
  char* const end = std::find(buffer, buffer + kTimecodeBufferSize, '\0');
  const std::int64_t stamp = SteadyNanoseconds();
  std::string timecode(buffer, end);
  playheads.NoteTimecode(timecode, mode, stamp);
  transport.SetTimecode(std::move(timecode), mode, stamp);
  return hostsdk::kSuccess;
}

void ZYLEngineControlSurface::OnMarkerChanged(std::uint32_t index) {
  events->PublishEvent(
      MarkerChangedText(index, HostMarkerCount(host.markerSuite, host.markerHost)));
}

void ZYLEngineControlSurface::OnMarkersRebuilt() {
  events->PublishEvent(MarkersRebuiltText(HostMarkerCount(host.markerSuite, host.markerHost)));
}

} // namespace ZYL
