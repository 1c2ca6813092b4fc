// exec:CATEGORY:ID: hands an editor command to the host.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void ExecCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
