// dump.angle: the render trees at a time, one line each (unstable).
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void DumpAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
