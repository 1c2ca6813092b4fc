// markers.list: a timeline's markers.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome MarkersListMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
