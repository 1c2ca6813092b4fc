// The connection thread's reader: frames from the socket into text messages.
#pragma once

#include <string>

namespace ZYL {

class ClientConnection;

// Blocks until the client's next text message and returns it. Pings are answered and
// other non-text frames skipped on the way. The empty string means the connection is
// over: the peer closed or failed, or sent a close frame (answered first), an empty text
// frame or a frame with a 64-bit length.
std::string ReadTextMessage(ClientConnection& connection);

} // namespace ZYL
