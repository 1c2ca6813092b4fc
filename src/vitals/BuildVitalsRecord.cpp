#include "vitals/BuildVitalsRecord.h"

#include "host/ZYLEngineControlSurface.h"
#include "platform/Platform.h"
#include "vitals/HostVitals.h"
#include "vitals/TimelineVitals.h"
#include "vitals/VitalsRecord.h"

#include <mutex>
#include <optional>

namespace ZYL {

namespace {

std::int32_t IdleSeconds() noexcept {
  const std::optional<std::uint32_t> idle = platform::IdleMilliseconds();
  return idle ? static_cast<std::int32_t>(*idle / 1000) : 0;
}

} // namespace

std::string BuildVitalsRecord(ZYLEngineControlSurface& surface, VitalsState& state,
                              std::int64_t now) {
  VitalsValues values;
  values.idleSec = IdleSeconds();
  values.playing = surface.playing.load();
  values.paused = surface.paused.load();
  values.recording = surface.recording.load();
  values.rewind = surface.rewind.load();
  values.ffwd = surface.ffwd.load();

  std::int64_t timecodeStamp = 0;
  {
    const std::lock_guard<std::mutex> lock(surface.timecodeLock);
    values.timecode = surface.timecodeText;
    values.displayMode = surface.displayMode;
    timecodeStamp = surface.timecodeStamp;
  }
  values.speed = UpdateSpeed(values.timecode, timecodeStamp, state.speed);

  const TimelineReading timeline = ReadRecordTimeline(surface, state.lastForcedScan, now);
  values.cuts = timeline.cuts;
  values.changes = ApplyTimelineReading(state.history, timeline);

  values.markers = ReadMarkerTotal(surface);
  values.tracks = ReadTrackCount(surface);
  if (values.playing) values.audioPeakDb = ReadAudioPeak(surface);
  values.soloActive = ReadSoloState(surface);
  return FormatVitalsRecord(values);
}

} // namespace ZYL
