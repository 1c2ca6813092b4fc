// What tests do with sockets that the engine itself never does: options on their client end
// that make the server meet a slow or vanishing peer, and connections to other addresses.
#pragma once

#include <cstdint>

namespace zyltest {

// A tiny receive window (and, where the system allows it, small segments), set before the
// socket connects, so the server's buffers for it fill after a few kilobytes once it stops
// reading.
void StarveReceives(int socket);

// A zero linger time: the next close sends a reset instead of an orderly end.
void ResetOnClose(int socket);

// Whether a TCP connection to the IPv4 address (dotted form) and port can be made.
bool ConnectsTo(const char* address, std::uint16_t port);

} // namespace zyltest
