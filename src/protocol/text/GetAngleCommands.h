// get.angle and get.angle.marker: the multicam angle at a time or a marker.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetAngleMarkerCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
