#include "server/ServerRegistry.h"

#include "server/ClientConnection.h"
#include "server/CloseCodes.h"
#include "server/ClosePayload.h"

namespace ZYL {

void GiveBackPlace(Server::Registry& registry, platform::Socket socket) noexcept {
  registry.peerPlaces.GiveBack(socket);
  registry.clientCount.fetch_sub(1);
}

void SendGoingAway(ClientConnection& connection) noexcept {
  if (connection.Admitted().protocol == WireProtocol::Json)
    connection.SendLast(CloseFrame(CloseNumber(CloseCode::GoingAway), "the engine is stopping"));
}

} // namespace ZYL
