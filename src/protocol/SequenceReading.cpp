#include "protocol/SequenceReading.h"

#include "host/ScopedSuite.h"

namespace ZYL {

namespace {

// The timeline the client named (none for a negative id); else the timelines the engine
// knows. A project without timelines is not rescanned on every request.
std::vector<std::int32_t> Candidates(EngineParts& engine, std::optional<std::int32_t> requested) {
  if (requested) {
    if (*requested < 0) return {};
    return {*requested};
  }
  return KnownTimelines(engine);
}

bool HasSequenceEntries(const hostsdk::SequenceInfoSuite9& info) noexcept {
  return info.GetFrameRect != nullptr && info.GetPixelAspectRatio != nullptr &&
         info.GetFrameDuration != nullptr && info.GetZeroPoint != nullptr &&
         info.GetDropFrame != nullptr;
}

// Fills `reading` from the Sequence Info suite, held only for these calls. Only the frame
// duration decides success, since without it there is no frame rate; each other value is
// kept only when its call answered.
void ReadSequenceInfo(const hostsdk::BasicSuite* basic, SequenceReading& reading) {
  const ScopedSuite<hostsdk::SequenceInfoSuite9> info(basic, hostsdk::kSequenceInfoSuiteName,
                                                      hostsdk::kSequenceInfoSuiteVersion);
  if (!info || !HasSequenceEntries(*info.get())) {
    reading.fault = SequenceReading::Fault::NoSuite;
    return;
  }
  const std::int32_t timeline = reading.timeline;
  SequenceValues& values = reading.values;
  reading.status = info->GetFrameDuration(timeline, &values.ticksPerFrame);
  if (reading.status != hostsdk::kSuccess || values.ticksPerFrame <= 0) {
    reading.fault = SequenceReading::Fault::Refused;
    return;
  }
  reading.fault = SequenceReading::Fault::None;
  hostsdk::FrameRect rect{0, 0, 0, 0};
  if (info->GetFrameRect(timeline, &rect) == hostsdk::kSuccess) values.rect = rect;
  PixelAspect aspect;
  if (info->GetPixelAspectRatio(timeline, &aspect.numerator, &aspect.denominator) ==
      hostsdk::kSuccess)
    values.pixelAspect = aspect;
  std::int32_t dropFrame = 0;
  if (info->GetDropFrame(timeline, &dropFrame) == hostsdk::kSuccess)
    values.dropFrame = dropFrame != 0;
  std::int64_t zeroPoint = 0;
  if (info->GetZeroPoint(timeline, &zeroPoint) == hostsdk::kSuccess)
    values.zeroPointTicks = zeroPoint;
}

std::optional<std::int64_t> TicksPerSecond(const hostsdk::BasicSuite* basic) {
  const ScopedSuite<hostsdk::TimeSuite1> time(basic, hostsdk::kTimeSuiteName,
                                              hostsdk::kTimeSuiteVersion);
  std::int64_t ticks = 0;
  if (time && time->GetTicksPerSecond != nullptr &&
      time->GetTicksPerSecond(&ticks) == hostsdk::kSuccess && ticks > 0)
    return ticks;
  return std::nullopt;
}

} // namespace

std::vector<std::int32_t> KnownTimelines(EngineParts& engine) {
  std::vector<std::int32_t> ordered = engine.timelines.OrderedTimelines();
  if (ordered.empty()) ordered = engine.timelines.ScanTimelines(false);
  return ordered;
}

// Any non-negative id is asked of the host as given: the host, not the engine's cache, knows
// which timelines exist.
SequenceReading ReadSequence(EngineParts& engine, std::optional<std::int32_t> requested) {
  SequenceReading reading;
  // Two rounds at most: the second asks what a new scan finds, once the host refused every
  // id the cache held.
  for (int round = 0; round < 2; ++round) {
    const std::vector<std::int32_t> candidates = Candidates(engine, requested);
    bool everyOneRefused = !candidates.empty();
    for (const std::int32_t timeline : candidates) {
      reading = SequenceReading{};
      reading.timeline = timeline;
      ReadSequenceInfo(engine.host.basicSuite, reading);
      if (reading.fault == SequenceReading::Fault::None) {
        reading.values.ticksPerSecond = TicksPerSecond(engine.host.basicSuite);
        return reading;
      }
      // An id the client named is asked as given; one the engine chose and the host no
      // longer knows leaves the cache, and the next best one is asked.
      if (requested || reading.status != hostsdk::kBadParameter) {
        everyOneRefused = false;
        break;
      }
      engine.timelines.NoteRefusal(timeline, reading.status);
    }
    if (!everyOneRefused) break;
  }
  return reading;
}

} // namespace ZYL
