// get.info: "info:" and the info record.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetInfoCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
