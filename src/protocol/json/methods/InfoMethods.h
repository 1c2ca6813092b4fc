// version, protocol.describe and info: what the engine is and speaks.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome VersionMethod(EngineParts& engine, RequestParams& params);
Outcome DescribeMethod(EngineParts& engine, RequestParams& params);
Outcome InfoMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
