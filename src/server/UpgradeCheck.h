// What RFC 6455 asks of an upgrade request beyond its key and origin. Only a client that
// chose the JSON protocol is held to it: the text protocol answers every request as it
// always has.
#pragma once

#include "server/HandshakeRequest.h"

#include <string>
#include <string_view>

namespace ZYL {

inline constexpr std::string_view kVersionRefusalReply =
    "HTTP/1.1 426 Upgrade Required\r\nSec-WebSocket-Version: 13\r\nConnection: close\r\n"
    "Content-Length: 0\r\n\r\n";

// The refusal of a request that is no sound WebSocket upgrade, or "" for a sound one: the
// 426 reply for a Sec-WebSocket-Version other than 13 (none included), else "400 Bad
// Request", whose plain-text body names the fault, for a method other than GET, HTTP before
// 1.1, an Upgrade without the token websocket, a Connection without the token upgrade, or a
// key that is not 16 bytes in base64.
std::string UpgradeRefusal(const HandshakeRequest& request);

} // namespace ZYL
