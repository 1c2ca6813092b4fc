// How a connection hands its messages up to whoever speaks the protocol: the server knows
// sockets and frames, never commands.
#pragma once

#include <string_view>

namespace ZYL {

class ClientConnection;

class MessageHandler {
public:
  virtual ~MessageHandler() = default;
  // Called on the connection's own thread for each text message, one at a time; the next
  // message is read only after this returns, so replies keep the order of the requests.
  // May throw: the connection then ends, and only that one.
  virtual void HandleMessage(ClientConnection& connection, std::string_view message) = 0;
  // Called on the connection's thread once the 101 went out, before the first read.
  virtual void Opened(ClientConnection& connection) = 0;
  // The connection's read deadline (Conversation::readDeadline) passed with no message, or a
  // message begun was not whole in time; the connection ends when this returns.
  virtual void Late(ClientConnection& connection) = 0;
};

} // namespace ZYL
