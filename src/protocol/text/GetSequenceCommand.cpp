#include "protocol/text/CommandArguments.h"
#include "protocol/text/CommandTable.h"
#include "protocol/SequenceReading.h"

#include <cstdio>
#include <string>

namespace ZYL {

namespace {

// The host's documented time base, for hosts that do not report one.
constexpr std::int64_t kDefaultTicksPerSecond = 254016000000;

// The record's JSON object; a value the host did not give is written as its default.
std::string SequenceRecord(std::int32_t timeline, const SequenceValues& values) {
  const std::int64_t ticksPerSecond = values.ticksPerSecond.value_or(kDefaultTicksPerSecond);
  const hostsdk::FrameRect rect = values.rect.value_or(hostsdk::FrameRect{0, 0, 0, 0});
  const PixelAspect aspect = values.pixelAspect.value_or(PixelAspect{});
  // Room for every value at its widest.
  char record[320];
  std::snprintf(record, sizeof(record),
                "{\"timelineID\":%lld,\"ticksPerSecond\":%lld,\"ticksPerFrame\":%lld,"
                "\"fps\":%.3f,\"dropFrame\":%s,\"width\":%d,\"height\":%d,\"parNum\":%u,"
                "\"parDen\":%u,\"zeroPointTicks\":%lld}",
                static_cast<long long>(timeline), static_cast<long long>(ticksPerSecond),
                static_cast<long long>(values.ticksPerFrame),
                static_cast<double>(ticksPerSecond) / static_cast<double>(values.ticksPerFrame),
                values.dropFrame.value_or(false) ? "true" : "false", Extent(rect.left, rect.right),
                Extent(rect.top, rect.bottom), aspect.numerator, aspect.denominator,
                static_cast<long long>(values.zeroPointTicks.value_or(0)));
  return record;
}

// The error token: "notimeline", "nosuite", or the host's status number (0 for a frame
// duration that is not positive).
std::string FaultToken(const SequenceReading& reading) {
  switch (reading.fault) {
  case SequenceReading::Fault::NoSuite:
    return "nosuite";
  case SequenceReading::Fault::Refused:
    return std::to_string(reading.status);
  case SequenceReading::Fault::NoTimeline:
  case SequenceReading::Fault::None:
    break;
  }
  return "notimeline";
}

} // namespace

void GetSequenceCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<SequenceArguments> arguments = SplitSequence(rest);
  if (!arguments) {
    client.Send("sequence.error:parse");
    return;
  }
  const SequenceReading reading = ReadSequence(engine, arguments->timeline);
  client.Send(reading.fault == SequenceReading::Fault::None
                  ? "sequence:" + SequenceRecord(reading.timeline, reading.values)
                  : "sequence.error:" + FaultToken(reading));
}

} // namespace ZYL
