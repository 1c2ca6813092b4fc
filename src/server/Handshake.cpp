#include "server/Handshake.h"

#include "platform/Platform.h"
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
constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

template <std::size_t N> std::string Base64(const std::array<std::uint8_t, N>& bytes) {
  std::string text;
  text.reserve((N + 2) / 3 * 4);
  for (std::size_t i = 0; i < N; i += 3) {
    const std::size_t count = N - i < 3 ? N - i : 3;
    std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (count > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (count > 2) group |= bytes[i + 2];
    text.push_back(kBase64Alphabet[(group >> 18) & 0x3F]);
    text.push_back(kBase64Alphabet[(group >> 12) & 0x3F]);
    text.push_back(count > 1 ? kBase64Alphabet[(group >> 6) & 0x3F] : '=');
    text.push_back(count > 2 ? kBase64Alphabet[group & 0x3F] : '=');
  }
  return text;
}

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
  return Base64(platform::Sha1(input));
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
