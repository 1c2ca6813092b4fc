// Plain loopback TCP for the benchmarks: every server and client in bench/ goes through
// these few calls, so the engine, the floor and the peer are reached the same way.
#pragma once

#include <cstdint>
#include <string_view>

namespace zylbench {

// Every message here is one small request answered before the next: Nagle would only add
// waits for delayed acknowledgements to the measurement.
void DisableNagle(int socket);
// A blocking socket connected to 127.0.0.1:port with Nagle off, or -1.
int ConnectLoopback(std::uint16_t port);
// A listening socket on 127.0.0.1 with a port chosen by the system; -1 on failure.
int ListenLoopback(std::uint16_t* port);
// Writes all of `bytes`; false when the peer is gone.
bool SendAll(int socket, std::string_view bytes);
// Reads exactly `size` bytes; false on close or error.
bool ReceiveExactly(int socket, char* buffer, std::size_t size);
// Makes a blocked receive on `socket` give up after `milliseconds`.
void SetReceiveTimeout(int socket, int milliseconds);
// Asks for a receive buffer of about `bytes` (the system keeps its own minimum).
void SetReceiveBuffer(int socket, int bytes);
void CloseSocket(int socket);

} // namespace zylbench
