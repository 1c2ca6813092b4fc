#include "protocol/json/methods/AngleMethods.h"

#include "protocol/json/JsonMethodTable.h"
#include "protocol/json/TimeQueryResults.h"
#include "protocol/json/TimelineScopeParam.h"
#include "timeline/AngleQueries.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

// What the text protocol answers as 0 (no angle) is null here.
Json NonZeroOrNull(std::int32_t value) { return value != 0 ? Json(value) : Json(nullptr); }

} // namespace

Outcome AngleMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int64_t> ticks = params.Int64("ticks", Presence::Required);
  const std::optional<std::int32_t> track = params.Int32("track", Presence::Required);
  const ScopeOrError scope = ReadTimelineScope(engine, params);
  if (params.Error()) return *params.Error();
  if (const auto* error = std::get_if<ResponseError>(&scope)) return *error;
  std::int32_t answeredBy = -1;
  const std::int32_t angle = FindAngleAtTime(engine.timelines, *ticks, *track,
                                             std::get<TimelineScope>(scope), &answeredBy);
  return Json{{"angle", NonZeroOrNull(angle)},
              {"timelineID", angle != 0 ? TimelineOrNull(answeredBy) : Json(nullptr)}};
}

Outcome AngleAtMarkerMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::string> name = params.String("name", Presence::Required);
  const std::optional<std::int32_t> track = params.Int32("track", Presence::Required);
  if (params.Error()) return *params.Error();
  std::optional<MarkerMatch> marker;
  const std::int32_t angle = FindAngleAtMarker(engine.timelines, *name, *track, NameMatch::Exact,
                                               &marker, CurrentTimelineUse::Keep);
  return Json{{"angle", NonZeroOrNull(angle)}, {"marker", MarkerOrNull(marker)}};
}

} // namespace ZYL
