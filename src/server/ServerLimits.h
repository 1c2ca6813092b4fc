// The server's fixed address, limits and time-outs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZYL::server {

inline constexpr std::uint16_t kPort = 7890;
// Room for a burst of connects to all 16 places: with less, the kernel drops the extra
// handshakes and their clients retry only after a second.
inline constexpr int kListenBacklog = 16;
inline constexpr std::int32_t kMaxConnections = 16;
// A connection thread done with its connection waits this long for the next before it ends.
inline constexpr int kIdleThreadMilliseconds = 2000;

// How often a held port is tried again.
inline constexpr int kBindRetryMilliseconds = 2000;
// How long Start waits for the accept thread's first binds, which read the settings file.
inline constexpr int kFirstBindWaitMilliseconds = 1000;
// After a failed accept (for example no descriptor left) the loop waits instead of spinning.
inline constexpr int kAcceptBackoffMilliseconds = 75;

// A client that connects and says nothing gives its place back after this long.
inline constexpr int kFirstByteWaitMilliseconds = 5000;
// The whole upgrade request must arrive within this time after its first byte, and stay
// within these sizes, so that no stalled or endless request holds one of the places.
inline constexpr int kHandshakeMilliseconds = 5000;
inline constexpr std::size_t kMaxHeaderLineBytes = 8 * 1024;
inline constexpr std::size_t kMaxRequestBytes = 16 * 1024;

// Once a protocol-2 client has sent the first byte of a message, the whole message must have
// come within this time, so that a client that trickles its bytes holds no place.
inline constexpr int kWholeMessageMilliseconds = 10000;

// A peer that does not take a reply within this long is cut off, so that its own thread is
// not stuck behind it.
inline constexpr int kSendTimeoutMilliseconds = 2000;
// When the engine closes a protocol-2 connection itself, it then reads and drops what the
// client still sends, until the client closes or for at most this long and this many bytes:
// a socket closed over bytes it has not read resets the connection, and the reset can
// overtake the close frame.
inline constexpr int kLingerMilliseconds = 1000;
inline constexpr std::size_t kLingerBytes = 1024 * 1024;
// The most bytes of pushes that may wait for one peer; one that falls further behind is cut
// off, so the pushing thread never waits for it and its memory stays bounded.
inline constexpr std::size_t kOutgoingQueueBytes = 1024 * 1024;

} // namespace ZYL::server
