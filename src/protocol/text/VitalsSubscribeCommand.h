// vitals.subscribe: the connection receives the pushes from now on.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void VitalsSubscribeCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
