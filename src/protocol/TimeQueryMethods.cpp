#include "protocol/JsonMethods.h"
#include "timeline/TimelineQueries.h"

namespace ZYL {

namespace {

nlohmann::json OrNull(std::int32_t value) {
  return value > 0 ? nlohmann::json(value) : nlohmann::json(nullptr);
}

nlohmann::json TimelineOrNull(std::int32_t timeline) {
  return timeline >= 0 ? nlohmann::json(timeline) : nlohmann::json(nullptr);
}

} // namespace

Outcome AngleMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int64_t> ticks = params.Int64("ticks", Presence::Required);
  const std::int32_t track = params.Int32("track", Presence::Optional).value_or(-1);
  if (params.Error()) return *params.Error();
  std::int32_t answeredBy = -1;
  const std::int32_t angle = FindAngleAtTime(engine.timelines, *ticks, track, &answeredBy);
  return nlohmann::json{{"angle", OrNull(angle)}, {"timelineID", TimelineOrNull(answeredBy)}};
}

} // namespace ZYL
