// angle.get and angle.atMarker: the angle the timeline holds at a time or a marker.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome AngleMethod(EngineParts& engine, RequestParams& params);
Outcome AngleAtMarkerMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
