#include "protocol/ProtocolRouter.h"

#include "protocol/json/JsonSession.h"
#include "server/ClientConnection.h"

namespace ZYL {

void ProtocolRouter::HandleMessage(ClientConnection& connection, std::string_view message) {
  if (connection.Admitted().protocol == WireProtocol::Json)
    HandleJsonMessage(engine_, connection, message);
  else
    DispatchCommand(engine_, connection, message);
}

void ProtocolRouter::Opened(ClientConnection& connection) {
  if (connection.Admitted().protocol == WireProtocol::Json) OpenJsonSession(connection);
}

void ProtocolRouter::Late(ClientConnection& connection) {
  if (connection.Admitted().protocol == WireProtocol::Json) JsonSessionLate(connection);
}

} // namespace ZYL
