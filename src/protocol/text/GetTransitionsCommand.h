// get.transitions: the transitions at the two ends of a clip.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetTransitionsCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
