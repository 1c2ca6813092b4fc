#include "protocol/text/VitalsSubscribeCommand.h"

namespace ZYL {

// No reply: from now on the connection receives the pushes.
void VitalsSubscribeCommand(EngineParts& engine, ReplySink& client, std::string_view) {
  engine.server.Subscribe(client);
}

} // namespace ZYL
