// angle.get, angle.atMarker, clip.size, clip.sizeAtMarker and clip.transitions: what the timeline
// holds at a time or a marker.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome AngleMethod(EngineParts& engine, RequestParams& params);
Outcome AngleAtMarkerMethod(EngineParts& engine, RequestParams& params);
Outcome ClipSizeMethod(EngineParts& engine, RequestParams& params);
Outcome ClipSizeAtMarkerMethod(EngineParts& engine, RequestParams& params);
Outcome TransitionsMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
