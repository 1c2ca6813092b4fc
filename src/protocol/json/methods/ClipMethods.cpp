#include "protocol/json/methods/ClipMethods.h"

#include "protocol/json/JsonMethodTable.h"
#include "protocol/json/TimeQueryResults.h"
#include "protocol/json/TimelineScopeParam.h"
#include "server/ValidUtf8.h"
#include "timeline/ClipSizeQueries.h"
#include "timeline/TransitionsQuery.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

Json SizeResult(const FrameSize& size, std::int32_t answeredBy) {
  const bool found = size.width != 0 || size.height != 0; // the text protocol's 0:0
  return {{"width", found ? Json(size.width) : Json(nullptr)},
          {"height", found ? Json(size.height) : Json(nullptr)},
          {"timelineID", found ? TimelineOrNull(answeredBy) : Json(nullptr)}};
}

Json SideOrNull(const TransitionSide& side) {
  if (side.name == kNoTransitionName) return nullptr;
  return {{"name", ToValidUtf8(side.name)}, {"durationTicks", side.duration}};
}

} // namespace

Outcome ClipSizeMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int64_t> ticks = params.Int64("ticks", Presence::Required);
  const std::optional<std::int64_t> end = params.Int64("endTicks", Presence::Required);
  const std::optional<std::int32_t> track = params.Int32("track", Presence::Required);
  const ScopeOrError scope = ReadTimelineScope(engine, params);
  if (params.Error()) return *params.Error();
  if (const auto* error = std::get_if<ResponseError>(&scope)) return *error;
  std::int32_t answeredBy = -1;
  const FrameSize size = FindSizeAtTime(engine.timelines, *ticks, *end, *track,
                                        std::get<TimelineScope>(scope), &answeredBy);
  return SizeResult(size, answeredBy);
}

Outcome ClipSizeAtMarkerMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::string> name = params.String("name", Presence::Required);
  const std::optional<std::int32_t> track = params.Int32("track", Presence::Required);
  if (params.Error()) return *params.Error();
  std::optional<MarkerMatch> marker;
  const FrameSize size = FindSizeAtMarker(engine.timelines, *name, *track, NameMatch::Exact,
                                          &marker, CurrentTimelineUse::Keep);
  Json result = SizeResult(size, marker ? marker->timeline : -1);
  result["marker"] = MarkerOrNull(marker);
  return result;
}

Outcome TransitionsMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int64_t> start = params.Int64("start", Presence::Required);
  const std::optional<std::int64_t> end = params.Int64("end", Presence::Required);
  const std::optional<std::int32_t> track = params.Int32("track", Presence::Required);
  const ScopeOrError scope = ReadTimelineScope(engine, params);
  if (params.Error()) return *params.Error();
  // A clip ends after it starts; the walk would otherwise answer for a range turned around.
  if (*start >= *end)
    return ResponseError{ErrorCode::InvalidParams, "\"end\" must be after \"start\"", "end",
                         std::nullopt};
  if (const auto* error = std::get_if<ResponseError>(&scope)) return *error;
  const std::optional<ClipTransitions> found =
      FindClipTransitions(engine.timelines, *start, *end, *track, std::get<TimelineScope>(scope));
  // The text protocol's noclip: only a found clip's side without a transition is null.
  if (!found)
    return ResponseError{ErrorCode::NotFound, "no clip from start to end on that track",
                         std::nullopt, std::nullopt};
  return Json{{"in", SideOrNull(found->in)},
              {"out", SideOrNull(found->out)},
              {"timelineID", found->timeline}};
}

} // namespace ZYL
