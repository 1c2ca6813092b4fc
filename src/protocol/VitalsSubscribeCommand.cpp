#include "host/ZYLEngineControlSurface.h"
#include "protocol/CommandEntries.h"

namespace ZYL {

// Only a registered connection can subscribe: the connection loop removes exactly the
// sockets of `clients` from the subscribers when it ends, so any other socket number would
// stay subscribed (and counted) for ever and receive pushes after it was reused.
void VitalsSubscribeCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view) {
  const int socket = client.Socket();
  std::lock_guard<std::mutex> lock(surface.clientLock);
  if (!surface.clients.contains(socket)) return;
  if (surface.vitalsSubscribers.insert(socket).second) ++surface.subscriberCount;
}

} // namespace ZYL
