#include "vitals/BuildVitalsRecord.h"

#include "vitals/VitalsSources.h"
#include "platform/Platform.h"
#include "vitals/HostVitals.h"
#include "vitals/TimelineVitals.h"
#include "vitals/VitalsRecord.h"

#include <optional>

namespace ZYL {

namespace {

std::int32_t IdleSeconds() noexcept {
  const std::optional<std::uint32_t> idle = platform::IdleMilliseconds();
  return idle ? static_cast<std::int32_t>(*idle / 1000) : 0;
}

} // namespace

std::string BuildVitalsRecord(const VitalsSources& sources, VitalsState& state,
                              std::int64_t now) {
  VitalsValues values;
  values.idleSec = IdleSeconds();
  values.playing = sources.transport.playing.load();
  values.paused = sources.transport.paused.load();
  values.recording = sources.transport.recording.load();
  values.rewind = sources.transport.rewind.load();
  values.ffwd = sources.transport.ffwd.load();

  TimecodeReading timecode = sources.transport.Timecode();
  values.timecode = std::move(timecode.text);
  values.displayMode = timecode.displayMode;
  values.speed = UpdateSpeed(values.timecode, timecode.stamp, state.speed);

  const TimelineReading timeline = ReadRecordTimeline(sources, state.lastForcedScan, now);
  values.cuts = timeline.cuts;
  values.changes = ApplyTimelineReading(state.history, timeline);

  values.markers = ReadMarkerTotal(sources);
  values.tracks = ReadTrackCount(sources);
  if (values.playing) values.audioPeakDb = ReadAudioPeak(sources);
  values.soloActive = ReadSoloState(sources);
  return FormatVitalsRecord(values);
}

} // namespace ZYL
