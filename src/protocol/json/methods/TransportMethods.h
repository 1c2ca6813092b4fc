// transport.get: the host's transport state.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome TransportMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
