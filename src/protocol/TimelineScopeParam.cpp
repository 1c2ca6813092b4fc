#include "protocol/TimelineScopeParam.h"

namespace ZYL {

ScopeOrError ReadTimelineScope(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> timeline = params.Int32("timeline", Presence::Optional, 0);
  if (!timeline) return TimelineScope{std::nullopt, CurrentTimelineUse::Keep};
  const std::optional<bool> known = HostKnowsTimeline(engine.host.basicSuite, *timeline);
  if (!known)
    return ResponseError{ErrorCode::Unavailable, "the host offers no video segment suite",
                         std::nullopt, std::nullopt};
  if (!*known)
    return ResponseError{ErrorCode::NotFound, "no such timeline", std::string("timeline"),
                         std::nullopt};
  return TimelineScope{*timeline};
}

} // namespace ZYL
