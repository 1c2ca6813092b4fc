#include "vitals/BuildVitalsRecord.h"

#include "platform/Platform.h"
#include "vitals/HostVitals.h"
#include "vitals/TimelineVitals.h"
#include "vitals/VitalsRecord.h"
#include "vitals/VitalsSources.h"

#include <optional>

namespace ZYL {

namespace {

std::int32_t IdleSeconds() noexcept {
  const std::optional<std::uint32_t> idle = platform::IdleMilliseconds();
  return idle ? static_cast<std::int32_t>(*idle / 1000) : 0;
}

} // namespace

std::string BuildVitalsRecord(const VitalsSources& sources, VitalsState& state, std::int64_t now) {
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

  const TimelineReading timeline = ReadRecordTimeline(sources, state.lastForcedScan, now, state.current);
  values.cuts = timeline.cuts;
  values.changes = ApplyTimelineReading(state.history, timeline);

  // The host may detach the plug-in from inside any of its calls, which stops the server and
  // releases every suite: from then on it is asked nothing more.
  if (sources.timelines.KeepRunning()) values.markers = ReadMarkerTotal(sources);
  if (sources.timelines.KeepRunning()) values.tracks = ReadTrackCount(sources);
  if (values.playing && sources.timelines.KeepRunning())
    values.audioPeakDb = ReadAudioPeak(sources);
  if (sources.timelines.KeepRunning()) values.soloActive = ReadSoloState(sources);
  return FormatVitalsRecord(values);
}

} // namespace ZYL
