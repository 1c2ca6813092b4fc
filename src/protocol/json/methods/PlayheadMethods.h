// playhead.get and timeline.pin: the live state a panel shows, on the timeline the connection
// means.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome PlayheadMethod(EngineParts& engine, RequestParams& params);
Outcome TimelinePinMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
