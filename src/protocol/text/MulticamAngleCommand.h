// multicam.angle:N: switches the multicam angle.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void MulticamAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
