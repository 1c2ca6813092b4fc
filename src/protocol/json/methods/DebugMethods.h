// debug.dumpAngle and debug.timelineScan: the diagnostics (unstable).
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome DumpAngleMethod(EngineParts& engine, RequestParams& params);
Outcome TimelineScanMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
