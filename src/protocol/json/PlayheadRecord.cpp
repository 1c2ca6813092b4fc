#include "protocol/json/PlayheadRecord.h"

#include "server/ValidUtf8.h"
#include "timeline/AngleQueries.h"
#include "timeline/TimecodeTicks.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

constexpr std::int64_t kNanosecondsPerMillisecond = 1'000'000;
constexpr std::int32_t kAnyTrack = -1;

SequenceTiming TimingOf(const SequenceReading& reading) {
  if (reading.fault != SequenceReading::Fault::None) return {};
  const SequenceValues& values = reading.values;
  return {values.ticksPerSecond, values.ticksPerFrame, values.dropFrame, values.zeroPointTicks};
}

} // namespace

SequenceReading ReadConnectionSequence(EngineParts& engine, ClientConnection& connection) {
  const std::int32_t pin = connection.PinnedTimeline();
  if (pin >= 0) {
    SequenceReading reading = ReadSequence(engine, pin);
    if (reading.fault == SequenceReading::Fault::None ||
        !HostDeniesTimeline(engine.host.basicSuite, pin))
      return reading;
    connection.DropPin(pin);
  }
  return ReadSequence(engine, std::nullopt);
}

Json PlayheadAge(const std::optional<TimecodeReading>& timecode, std::int64_t now) {
  if (!timecode) return nullptr;
  return now > timecode->stamp ? (now - timecode->stamp) / kNanosecondsPerMillisecond : 0;
}

Json PlayheadRecord(EngineParts& engine, const SequenceReading& reading,
                    const std::optional<TimecodeReading>& timecode, std::int64_t now) {
  const bool timelineKnown = reading.timeline >= 0;
  std::optional<std::int64_t> ticks;
  if (timecode && timelineKnown) ticks = TimecodeToTicks(timecode->text, TimingOf(reading));
  Json angle = nullptr;
  if (ticks) {
    const std::int32_t found =
        FindAngleAtTime(engine.timelines, *ticks, kAnyTrack, TimelineScope{reading.timeline});
    if (found != 0) angle = found;
  }
  return {{"timecode", timecode ? Json(ToValidUtf8(timecode->text)) : Json(nullptr)},
          {"displayMode", timecode ? Json(timecode->displayMode) : Json(nullptr)},
          {"timelineID", timelineKnown ? Json(reading.timeline) : Json(nullptr)},
          {"ticks", ticks ? Json(*ticks) : Json(nullptr)},
          {"angle", angle},
          {"ageMs", PlayheadAge(timecode, now)}};
}

} // namespace ZYL
