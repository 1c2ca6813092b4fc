// What every connection hands its messages to: the text protocol's dispatcher or the JSON
// session, as the connection's handshake chose.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/text/DispatchCommand.h"
#include "server/MessageHandler.h"

#include <string_view>

namespace ZYL {

class ProtocolRouter final : public MessageHandler {
public:
  explicit ProtocolRouter(EngineParts engine) : engine_(engine) {}
  void HandleMessage(ClientConnection& connection, std::string_view message) override;
  void Opened(ClientConnection& connection) override;
  void Late(ClientConnection& connection) override;

private:
  EngineParts engine_;
};

} // namespace ZYL
