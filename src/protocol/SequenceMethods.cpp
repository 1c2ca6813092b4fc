#include "protocol/JsonMethods.h"
#include "protocol/SequenceReading.h"

namespace ZYL {

// The same reading as the text protocol's sequence record. A timeline the client named that
// the host cannot describe is one it does not know.
Outcome SequenceMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> timeline = params.Int32("timeline", Presence::Optional, 0);
  if (params.Error()) return *params.Error();
  const SequenceReading reading = ReadSequence(engine, timeline);
  if (!reading.fault) return nlohmann::json::parse(reading.record);
  if (*reading.fault == "nosuite")
    return ResponseError{ErrorCode::Unavailable, "the host offers no sequence information",
                         std::nullopt, std::nullopt};
  if (*reading.fault == "notimeline" || timeline)
    return ResponseError{ErrorCode::NotFound, "no such timeline", std::nullopt, std::nullopt};
  return ResponseError{ErrorCode::HostError, "the host refused the sequence's frame duration",
                       std::nullopt, std::stoll(*reading.fault)};
}

} // namespace ZYL
