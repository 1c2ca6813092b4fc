// vitals.get: the vitals record as the vitals thread would send it now.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome VitalsMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
