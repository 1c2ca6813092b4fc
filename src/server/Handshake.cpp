#include "server/Handshake.h"

#include "platform/Platform.h"
#include "server/Base64.h"
#include "server/ClientConnection.h"
#include "server/OriginPolicy.h"
#include "server/ServerLimits.h"

#include <chrono>

namespace ZYL {

namespace {

constexpr std::string_view kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr std::string_view kAcceptReplyStart = "HTTP/1.1 101 Switching Protocols\r\n"
                                               "Upgrade: websocket\r\n"
                                               "Connection: Upgrade\r\n"
                                               "Sec-WebSocket-Accept: ";
constexpr std::string_view kAcceptReplyEnd = "\r\n\r\n";
// Reads the request with one receive per byte until it is complete, broken, or late.
// Returns whether the request may be judged.
bool ReadRequest(ClientConnection& connection, HandshakeRequestReader& reader) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(server::kHandshakeMilliseconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // A client that stalls mid-request gives its place back.
    if (left <= 0) return false;
    const platform::WaitResult wait =
        platform::WaitReadable(connection.Socket(), static_cast<int>(left));
    if (wait == platform::WaitResult::TimedOut) return false;
    char byte = 0;
    const bool received = wait == platform::WaitResult::Ready &&
                          platform::Receive(connection.Socket(), &byte, 1, false) == 1;
    // A peer that closes or fails mid-request is judged on what it sent.
    const HandshakeRequestReader::Status status =
        received ? reader.Feed(std::string_view(&byte, 1)).status : reader.Finish();
    if (status == HandshakeRequestReader::Status::Complete) return true;
    if (status != HandshakeRequestReader::Status::NeedMore) return false;
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
