#include "server/Handshake.h"

#include "platform/Platform.h"
#include "server/Base64.h"
#include "server/ClientConnection.h"
#include "server/OriginPolicy.h"
#include "server/ServerLimits.h"

#include <array>
#include <chrono>

namespace ZYL {

namespace {

constexpr std::string_view kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr std::string_view kAcceptReplyStart = "HTTP/1.1 101 Switching Protocols\r\n"
                                               "Upgrade: websocket\r\n"
                                               "Connection: Upgrade\r\n"
                                               "Sec-WebSocket-Accept: ";
constexpr std::string_view kAcceptReplyEnd = "\r\n\r\n";
// How many bytes one look at the socket may take in.
constexpr std::size_t kPeekBytes = 4096;

// Reads the request until it is complete, broken, or late. Each pass looks at what has
// arrived without taking it, feeds it to the reader, and then takes exactly the bytes the
// reader consumed, so the first frame, which may share a segment with the request, stays in
// the socket for the frame reader. Returns whether the request may be judged.
bool ReadRequest(ClientConnection& connection, HandshakeRequestReader& reader) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(server::kHandshakeMilliseconds);
  std::array<char, kPeekBytes> buffer{};
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // A client that stalls mid-request gives its place back.
    if (left <= 0) return false;
    const platform::WaitResult wait =
        platform::WaitReadable(connection.Socket(), static_cast<int>(left));
    if (wait == platform::WaitResult::TimedOut) return false;
    const std::ptrdiff_t seen =
        wait == platform::WaitResult::Ready
            ? platform::Peek(connection.Socket(), buffer.data(), buffer.size())
            : -1;
    // A peer that closes or fails mid-request is judged on what it sent.
    if (seen <= 0) return reader.Finish() == HandshakeRequestReader::Status::Complete;
    const HandshakeRequestReader::Step step =
        reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(seen)));
    if (step.status != HandshakeRequestReader::Status::NeedMore &&
        step.status != HandshakeRequestReader::Status::Complete)
      return false;
    // The bytes are in the socket already, so this receive does not wait.
    if (platform::Receive(connection.Socket(), buffer.data(), step.consumed, true) !=
        static_cast<std::ptrdiff_t>(step.consumed))
      return false;
    if (step.status == HandshakeRequestReader::Status::Complete) return true;
  }
}

} // namespace

std::string ComputeAcceptKey(std::string_view key) {
  std::string input(key);
  input.append(kWebSocketGuid);
  return Base64Encode(platform::Sha1(input));
}

std::string AcceptReply(std::string_view key) {
  std::string reply(kAcceptReplyStart);
  reply.append(ComputeAcceptKey(key));
  reply.append(kAcceptReplyEnd);
  return reply;
}

HandshakeVerdict JudgeRequest(const HandshakeRequest& request, const std::string& allowListPath) {
  if (request.key.empty()) return HandshakeVerdict::Silent;
  return IsOriginAllowed(request.origin, allowListPath) ? HandshakeVerdict::Accept
                                                        : HandshakeVerdict::Refuse;
}

bool PerformHandshake(ClientConnection& connection) {
  HandshakeRequestReader reader;
  if (!ReadRequest(connection, reader)) return false;
  const HandshakeRequest& request = reader.Request();
  // The allow-list file is read anew for each request, so edits apply to the next client.
  switch (JudgeRequest(request, AllowListFilePath())) {
  case HandshakeVerdict::Silent:
    return false;
  case HandshakeVerdict::Refuse:
    connection.SendBytes(kRefusalReply);
    return false;
  case HandshakeVerdict::Accept:
    connection.SendBytes(AcceptReply(request.key));
    return true;
  }
  return false;
}

} // namespace ZYL
