// playhead.get and timeline.pin: the live state a panel shows, on the timeline the connection
// means.
#include "host/SteadyClock.h"
#include "protocol/JsonMethods.h"
#include "protocol/PlayheadPublisher.h"
#include "protocol/PlayheadRecord.h"
#include "protocol/TimelineScopeParam.h"

namespace ZYL {

namespace {

ResponseError NoSuchTimeline() {
  return {ErrorCode::NotFound, "no such timeline", std::string("timeline"), std::nullopt};
}

} // namespace

// Derived now, as the playhead topic derives it, from the timecode stored for its
// subscribers (none while there are none).
Outcome PlayheadMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> timeline = params.Int32("timeline", Presence::Optional, 0);
  if (params.Error()) return *params.Error();
  const SequenceReading reading = ReadSequence(engine, timeline);
  if (timeline && reading.fault != SequenceReading::Fault::None &&
      HostDeniesTimeline(engine.host.basicSuite, *timeline))
    return NoSuchTimeline();
  return PlayheadRecord(engine, reading, engine.playheads.Timecode(), SteadyNanoseconds());
}

Outcome TimelinePinMethod(EngineParts& engine, RequestParams& params) {
  if (engine.caller == nullptr)
    return ResponseError{ErrorCode::Unavailable, "only a connection can pin a timeline",
                         std::nullopt, std::nullopt};
  std::int32_t pin = -1;
  if (!params.IsNull("timeline")) {
    const ScopeOrError scope = ReadTimelineScope(engine, params);
    if (params.Error()) return *params.Error();
    if (const auto* error = std::get_if<ResponseError>(&scope)) return *error;
    pin = *std::get<TimelineScope>(scope).only;
  }
  engine.caller->PinTimeline(pin);
  // The sequence topic names the timeline the connection now means.
  engine.playheads.Wake();
  return nlohmann::json{{"timelineID", pin >= 0 ? nlohmann::json(pin) : nlohmann::json(nullptr)}};
}

} // namespace ZYL
