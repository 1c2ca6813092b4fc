#include "host/ScopedSuite.h"
#include "hostsdk/MediaSuites.h"
#include "protocol/CommandArguments.h"
#include "protocol/CommandTable.h"
#include "protocol/SequenceReading.h"

#include <cstdio>
#include <string>
#include <vector>

namespace ZYL {

namespace {

// The host's documented time base, for hosts that do not report one.
constexpr std::int64_t kDefaultTicksPerSecond = 254016000000;

// What the host reports about one sequence; members keep these values when a call fails.
struct SequenceFormat {
  std::int64_t ticksPerFrame = 0;
  hostsdk::FrameRect rect{0, 0, 0, 0};
  std::uint32_t parNum = 1;
  std::uint32_t parDen = 1;
  std::int32_t dropFrame = 0;
  std::int64_t zeroPointTicks = 0;
};

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

// Fills `format` from the Sequence Info suite, held only for these calls. Only the frame
// duration decides success, since without it there is no frame rate; returns the error
// token, or nothing when the format was read.
std::optional<std::string> ReadSequenceFormat(const hostsdk::BasicSuite* basic,
                                              std::int32_t timeline, SequenceFormat& format,
                                              hostsdk::ErrorCode& status) {
  const ScopedSuite<hostsdk::SequenceInfoSuite9> info(basic, hostsdk::kSequenceInfoSuiteName,
                                                      hostsdk::kSequenceInfoSuiteVersion);
  status = hostsdk::kSuccess;
  if (!info || !HasSequenceEntries(*info.get())) return "nosuite";
  status = info->GetFrameDuration(timeline, &format.ticksPerFrame);
  if (status != hostsdk::kSuccess || format.ticksPerFrame <= 0)
    return std::to_string(status); // 0 for a duration not positive
  info->GetFrameRect(timeline, &format.rect);
  info->GetPixelAspectRatio(timeline, &format.parNum, &format.parDen);
  info->GetDropFrame(timeline, &format.dropFrame);
  info->GetZeroPoint(timeline, &format.zeroPointTicks);
  return std::nullopt;
}

std::int64_t TicksPerSecond(const hostsdk::BasicSuite* basic) {
  const ScopedSuite<hostsdk::TimeSuite1> time(basic, hostsdk::kTimeSuiteName,
                                              hostsdk::kTimeSuiteVersion);
  std::int64_t ticks = 0;
  if (time && time->GetTicksPerSecond != nullptr &&
      time->GetTicksPerSecond(&ticks) == hostsdk::kSuccess && ticks > 0)
    return ticks;
  return kDefaultTicksPerSecond;
}

// Edges are host values: subtract modulo 2^32 so that an absurd rectangle gives an absurd
// size instead of undefined behaviour.
std::int32_t Extent(std::int32_t low, std::int32_t high) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(high) -
                                   static_cast<std::uint32_t>(low));
}

// The record's JSON object.
std::string SequenceRecord(std::int32_t timeline, std::int64_t ticksPerSecond,
                           const SequenceFormat& format) {
  // Room for every value at its widest.
  char record[320];
  std::snprintf(record, sizeof(record),
                "{\"timelineID\":%lld,\"ticksPerSecond\":%lld,\"ticksPerFrame\":%lld,"
                "\"fps\":%.3f,\"dropFrame\":%s,\"width\":%d,\"height\":%d,\"parNum\":%u,"
                "\"parDen\":%u,\"zeroPointTicks\":%lld}",
                static_cast<long long>(timeline), static_cast<long long>(ticksPerSecond),
                static_cast<long long>(format.ticksPerFrame),
                static_cast<double>(ticksPerSecond) / static_cast<double>(format.ticksPerFrame),
                format.dropFrame != 0 ? "true" : "false",
                Extent(format.rect.left, format.rect.right),
                Extent(format.rect.top, format.rect.bottom), format.parNum, format.parDen,
                static_cast<long long>(format.zeroPointTicks));
  return record;
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
  reading.fault = "notimeline";
  // Two rounds at most: the second asks what a new scan finds, once the host refused every
  // id the cache held.
  for (int round = 0; round < 2; ++round) {
    const std::vector<std::int32_t> candidates = Candidates(engine, requested);
    bool everyOneRefused = !candidates.empty();
    for (const std::int32_t timeline : candidates) {
      SequenceFormat format;
      hostsdk::ErrorCode status = hostsdk::kSuccess;
      reading.timeline = timeline;
      reading.fault = ReadSequenceFormat(engine.host.basicSuite, timeline, format, status);
      if (!reading.fault) {
        reading.record = SequenceRecord(timeline, TicksPerSecond(engine.host.basicSuite), format);
        return reading;
      }
      // An id the client named is asked as given; one the engine chose and the host no
      // longer knows leaves the cache, and the next best one is asked.
      if (requested || status != hostsdk::kBadParameter) {
        everyOneRefused = false;
        break;
      }
      engine.timelines.NoteRefusal(timeline, status);
    }
    if (!everyOneRefused) break;
  }
  return reading;
}

void GetSequenceCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<SequenceArguments> arguments = SplitSequence(rest);
  if (!arguments) {
    client.Send("sequence.error:parse");
    return;
  }
  const SequenceReading reading = ReadSequence(engine, arguments->timeline);
  client.Send(reading.fault ? "sequence.error:" + *reading.fault : "sequence:" + reading.record);
}

} // namespace ZYL
