// One JSON-protocol connection from the 101 on: hello, identify (with the password's
// challenge when one is set), then requests, batches and subscriptions, one message at a
// time on the connection's own thread.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ClientConnection.h"

#include <string_view>

namespace ZYL {

// Sends hello and starts the wait for identify.
void OpenJsonSession(ClientConnection& connection);

// A read came too late: no whole identify in time (4002), or, once identified, a message not
// whole in time (4007). The connection is closed.
void JsonSessionLate(ClientConnection& connection);

// Acts on one message; a fault that ends the connection is closed with its code.
void HandleJsonMessage(EngineParts& engine, ClientConnection& connection, std::string_view message);

} // namespace ZYL
