// The connection thread's reader: frames from the socket into text messages.
#pragma once

#include "server/ServerLimits.h"

#include <chrono>
#include <optional>
#include <string>

namespace ZYL {

class ClientConnection;

// Reads by the lenient rules (FrameParser::Rules::Lenient): blocks until the client's next
// text message and returns it. Pings are answered and other non-text frames skipped on the
// way. The empty string means the connection is over: the peer closed or failed, or sent a
// close frame (answered first), an empty text frame or a frame with a 64-bit length.
std::string ReadLenientMessage(ClientConnection& connection);

// Reads by RFC 6455 (FrameParser::Rules::Rfc6455): fragments joined and every framing fault
// closed with its status code. A message may be empty.
struct FramedRead {
  enum class Status {
    Message, // `message` holds the next message
    Ended,   // the peer closed or failed, or a framing fault was closed
    Late,    // `deadline` passed, or a message was not whole in time; the connection must end
  };
  Status status = Status::Ended;
  std::string message;
};
// Reading waits at most until `deadline`, whatever bytes come meanwhile. Once the first byte
// of a message (or of a control frame between messages) has come, the rest must follow
// within `wholeWithin`, so that a client sending a byte now and then holds no place.
FramedRead ReadRfc6455Message(ClientConnection& connection,
                              std::optional<std::chrono::steady_clock::time_point> deadline,
                              std::chrono::milliseconds wholeWithin =
                                  std::chrono::milliseconds(server::kWholeMessageMilliseconds));

} // namespace ZYL
