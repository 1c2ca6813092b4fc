// get.commands: the editor's commands, one reply each, then their count.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetCommandsCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
