// clip.size, clip.sizeAtMarker and clip.transitions: the clip the timeline holds at a time or a
// marker, and its transitions.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome ClipSizeMethod(EngineParts& engine, RequestParams& params);
Outcome ClipSizeAtMarkerMethod(EngineParts& engine, RequestParams& params);
Outcome TransitionsMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
