// The text protocol's entry: one message, one command.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

// Selects the command `text` names and runs its handler; any other text is run as a host
// command and gets no reply.
void DispatchCommand(EngineParts& engine, ReplySink& client, std::string_view text);

} // namespace ZYL
