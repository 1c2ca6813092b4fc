// debug.tlscan: probes a range of timeline ids (unstable).
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

void DebugTlscanCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
