// get.sequence[:TIMELINE]: a sequence's timing and frame format.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetSequenceCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
