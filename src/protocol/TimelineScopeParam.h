// The optional `timeline` param of the JSON protocol's time queries.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/JsonProtocol.h"
#include "protocol/RequestParams.h"
#include "timeline/TimelineSearch.h"

#include <variant>

namespace ZYL {

using ScopeOrError = std::variant<TimelineScope, ResponseError>;

// Without `timeline`, the engine's search order, which the answer leaves as it was. With it, that
// timeline alone, once the host confirms it knows the id: not_found when it does not, unavailable
// when it offers no way to ask. A param fault stays in `params` (and gives the default scope).
ScopeOrError ReadTimelineScope(EngineParts& engine, RequestParams& params);

} // namespace ZYL
