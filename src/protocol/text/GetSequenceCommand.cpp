#include "protocol/text/GetSequenceCommand.h"

#include "protocol/ErrorTokens.h"
#include "protocol/RecordMembers.h"
#include "protocol/SequenceReading.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"

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
  // A quotient of two 64-bit integers has at most 19 digits before the point.
  char fps[32];
  std::snprintf(fps, sizeof(fps), "%.3f",
                static_cast<double>(ticksPerSecond) / static_cast<double>(values.ticksPerFrame));
  return RecordText(SequenceMembers(),
                    {std::to_string(timeline), std::to_string(ticksPerSecond),
                     std::to_string(values.ticksPerFrame), fps,
                     values.dropFrame.value_or(false) ? "true" : "false",
                     std::to_string(Extent(rect.left, rect.right)),
                     std::to_string(Extent(rect.top, rect.bottom)),
                     std::to_string(aspect.numerator), std::to_string(aspect.denominator),
                     std::to_string(values.zeroPointTicks.value_or(0))});
}

// The error token: "notimeline", "nosuite", or the host's status number (0 for a frame
// duration that is not positive).
std::string FaultToken(const SequenceReading& reading) {
  switch (reading.fault) {
  case SequenceReading::Fault::NoSuite:
    return std::string(kNoSuiteToken);
  case SequenceReading::Fault::Refused:
    return std::to_string(reading.status);
  case SequenceReading::Fault::NoTimeline:
  case SequenceReading::Fault::None:
    break;
  }
  return std::string(kNoTimelineToken);
}

} // namespace

void GetSequenceCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<SequenceArguments> arguments = SplitSequence(rest);
  if (!arguments) {
    client.Send(ErrorReplyText(kSequenceKind, kParseToken));
    return;
  }
  const SequenceReading reading = ReadSequence(engine, arguments->timeline);
  client.Send(reading.fault == SequenceReading::Fault::None
                  ? ReplyText(kSequenceKind, SequenceRecord(reading.timeline, reading.values))
                  : ErrorReplyText(kSequenceKind, FaultToken(reading)));
}

} // namespace ZYL
