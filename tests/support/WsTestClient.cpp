#include "WsTestClient.h"

#include "platform/Platform.h"

#include <array>
#include <thread>
#include <utility>

namespace zyltest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::array<std::uint8_t, 4> kMaskKey{0x37, 0xFA, 0x21, 0x3D};

int RemainingMillis(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

bool IsPush(std::string_view text) {
  return text.starts_with("vitals:") || text.starts_with("event:");
}

} // namespace

std::string EncodeClientFrame(std::uint8_t opcode, std::string_view payload, bool masked) {
  std::string frame;
  frame.push_back(static_cast<char>(0x80 | (opcode & 0x0F)));
  const std::uint8_t maskBit = masked ? 0x80 : 0x00;
  const std::size_t size = payload.size();
  if (size < 126) {
    frame.push_back(static_cast<char>(maskBit | size));
  } else if (size <= 0xFFFF) {
    frame.push_back(static_cast<char>(maskBit | 126));
    frame.push_back(static_cast<char>(size >> 8));
    frame.push_back(static_cast<char>(size & 0xFF));
  } else {
    frame.push_back(static_cast<char>(maskBit | 127));
    for (int shift = 56; shift >= 0; shift -= 8)
      frame.push_back(static_cast<char>((static_cast<std::uint64_t>(size) >> shift) & 0xFF));
  }
  if (masked) frame.append(reinterpret_cast<const char*>(kMaskKey.data()), kMaskKey.size());
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<std::uint8_t>(payload[i]);
    frame.push_back(static_cast<char>(masked ? byte ^ kMaskKey[i % 4] : byte));
  }
  return frame;
}

std::string UpgradeRequest(std::optional<std::string_view> origin,
                           std::optional<std::string_view> key) {
  std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:7890\r\nUpgrade: websocket\r\n"
                        "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n";
  if (key) request.append("Sec-WebSocket-Key: ").append(*key).append("\r\n");
  if (origin) request.append("Origin: ").append(*origin).append("\r\n");
  request.append("\r\n");
  return request;
}

WsTestClient::~WsTestClient() { Close(); }

WsTestClient::WsTestClient(WsTestClient&& other) noexcept
    : socket_(std::exchange(other.socket_, -1)), inbox_(std::move(other.inbox_)),
      peerClosed_(other.peerClosed_) {}

WsTestClient& WsTestClient::operator=(WsTestClient&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = std::exchange(other.socket_, -1);
    inbox_ = std::move(other.inbox_);
    peerClosed_ = other.peerClosed_;
  }
  return *this;
}

void WsTestClient::Close() {
  if (socket_ >= 0) ZYL::platform::CloseSocket(socket_);
  socket_ = -1;
  inbox_.clear();
  peerClosed_ = false;
}

bool WsTestClient::Connect(Millis deadline, std::uint16_t port,
                           const std::function<void(int socket)>& prepare) {
  return ConnectAt(ZYL::platform::kLoopbackAddress, deadline, port, prepare);
}

bool WsTestClient::ConnectTo(std::uint32_t address, Millis deadline, std::uint16_t port) {
  return ConnectAt(address, deadline, port, {});
}

bool WsTestClient::ConnectAt(std::uint32_t address, Millis deadline, std::uint16_t port,
                             const std::function<void(int socket)>& prepare) {
  Close();
  const auto end = Clock::now() + deadline;
  do {
    socket_ = ZYL::platform::ConnectTo(address, port, prepare);
    if (socket_ != ZYL::platform::kNoSocket) return true;
    std::this_thread::sleep_for(Millis(20));
  } while (Clock::now() < end);
  return false;
}

std::string WsTestClient::Handshake(std::optional<std::string_view> origin,
                                    std::optional<std::string_view> key, Millis timeout) {
  return RawHandshake(UpgradeRequest(origin, key), timeout);
}

std::string WsTestClient::RawHandshake(std::string_view request, Millis timeout) {
  if (!SendRaw(request)) return {};
  return ReadHttpReply(timeout);
}

std::string WsTestClient::ReadHttpReply(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t end = inbox_.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::string reply = inbox_.substr(0, end + 4);
      inbox_.erase(0, end + 4);
      return reply;
    }
    if (ReceiveSome(deadline) <= 0) return {};
  }
}

bool WsTestClient::Open(Millis deadline) {
  return Connect(deadline) && Handshake().starts_with("HTTP/1.1 101 ");
}

bool WsTestClient::SendRaw(std::string_view bytes) {
  if (socket_ < 0) return false;
  while (!bytes.empty()) {
    const std::ptrdiff_t sent = ZYL::platform::SendSome(socket_, bytes.data(), bytes.size());
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool WsTestClient::SendText(std::string_view text, bool masked) {
  return SendFrame(kText, text, masked);
}

bool WsTestClient::SendFrame(std::uint8_t opcode, std::string_view payload, bool masked) {
  return SendRaw(EncodeClientFrame(opcode, payload, masked));
}

long WsTestClient::ReceiveSome(Clock::time_point deadline) {
  if (socket_ < 0 || peerClosed_) return 0;
  if (ZYL::platform::WaitReadable(socket_, RemainingMillis(deadline)) !=
      ZYL::platform::WaitResult::Ready)
    return -1;
  char buffer[65536];
  const std::ptrdiff_t got = ZYL::platform::Receive(socket_, buffer, sizeof buffer, false);
  if (got <= 0) {
    peerClosed_ = true;
    return 0;
  }
  inbox_.append(buffer, static_cast<std::size_t>(got));
  return static_cast<long>(got);
}

bool WsTestClient::Fill(std::size_t count, Clock::time_point deadline) {
  while (inbox_.size() < count)
    if (ReceiveSome(deadline) <= 0) return false;
  return true;
}

std::optional<std::string> WsTestClient::ReceiveBytes(std::size_t count, Millis timeout) {
  if (!Fill(count, Clock::now() + timeout)) return std::nullopt;
  std::string bytes = inbox_.substr(0, count);
  inbox_.erase(0, count);
  return bytes;
}

std::optional<WsFrame> WsTestClient::ReceiveFrame(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  if (!Fill(2, deadline)) return std::nullopt;
  const auto byte0 = static_cast<std::uint8_t>(inbox_[0]);
  const auto byte1 = static_cast<std::uint8_t>(inbox_[1]);
  std::size_t header = 2;
  std::uint64_t length = byte1 & 0x7F;
  if (length == 126) header += 2;
  if (length == 127) header += 8;
  if (byte1 & 0x80) header += 4;
  if (!Fill(header, deadline)) return std::nullopt;
  if (length >= 126) {
    const std::size_t bytes = length == 126 ? 2 : 8;
    length = 0;
    for (std::size_t i = 0; i < bytes; ++i)
      length = (length << 8) | static_cast<std::uint8_t>(inbox_[2 + i]);
  }
  if (!Fill(header + length, deadline)) return std::nullopt;
  WsFrame frame;
  frame.fin = (byte0 & 0x80) != 0;
  frame.opcode = byte0 & 0x0F;
  frame.payload = inbox_.substr(header, length);
  if (byte1 & 0x80) {
    const std::string key = inbox_.substr(header - 4, 4);
    for (std::size_t i = 0; i < frame.payload.size(); ++i)
      frame.payload[i] ^= key[i % 4];
  }
  inbox_.erase(0, header + length);
  return frame;
}

std::optional<std::string> WsTestClient::ReceiveText(Millis timeout, bool skipPushes) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    std::optional<WsFrame> frame = ReceiveFrame(left < Millis(0) ? Millis(0) : left);
    if (!frame) return std::nullopt;
    if (frame->opcode != kText) continue;
    if (skipPushes && IsPush(frame->payload)) continue;
    return std::move(frame->payload);
  }
}

bool WsTestClient::WaitClosed(Millis timeout, bool requireSilence) {
  const auto deadline = Clock::now() + timeout;
  if (requireSilence && !inbox_.empty()) return false;
  for (;;) {
    const long got = ReceiveSome(deadline);
    if (got == 0) return true;
    if (got < 0) return false;
    if (requireSilence) return false;
    inbox_.clear();
  }
}

} // namespace zyltest
