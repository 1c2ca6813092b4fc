// The reply that refuses a handshake because the engine cannot serve anyone: its settings
// file is broken, and it fails closed.
#pragma once

#include <string>
#include <string_view>

namespace ZYL {

// "HTTP/1.1 500 Internal Server Error", closing, with `body` as its plain-text body.
std::string ServerErrorReply(std::string_view body);

} // namespace ZYL
