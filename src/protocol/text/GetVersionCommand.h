// get.version: "version:" and the engine's version.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetVersionCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
