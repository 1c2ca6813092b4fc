// get.clipsize and get.clipsize.marker: the source frame size at a time or a marker.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void GetClipSizeCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetClipSizeMarkerCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
