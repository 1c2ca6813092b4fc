#include "BenchClient.h"

#include "BenchSocket.h"

#include <algorithm>
#include <sys/socket.h>

namespace zylbench {

namespace {

// The upgrade request up to its blank line, which the protocol's own lines may precede.
constexpr std::string_view kUpgradeLines = "GET / HTTP/1.1\r\n"
                                           "Host: 127.0.0.1\r\n"
                                           "Upgrade: websocket\r\n"
                                           "Connection: Upgrade\r\n"
                                           "Origin: http://localhost\r\n"
                                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                           "Sec-WebSocket-Version: 13\r\n";
constexpr unsigned char kMask[4] = {0x12, 0x34, 0x56, 0x78};

} // namespace

std::string MaskedTextFrame(std::string_view text) {
  std::string frame;
  frame.push_back('\x81');
  if (text.size() < 126) {
    frame.push_back(static_cast<char>(0x80 | text.size()));
  } else {
    frame.push_back(static_cast<char>(0x80 | 126));
    frame.push_back(static_cast<char>(text.size() >> 8));
    frame.push_back(static_cast<char>(text.size() & 0xFF));
  }
  frame.append(reinterpret_cast<const char*>(kMask), 4);
  for (std::size_t i = 0; i < text.size(); ++i)
    frame.push_back(static_cast<char>(text[i] ^ static_cast<char>(kMask[i % 4])));
  return frame;
}

BenchClient::~BenchClient() { Close(); }

void BenchClient::Close() {
  CloseSocket(socket_);
  socket_ = -1;
  read_ = filled_ = 0;
}

bool BenchClient::Open(std::uint16_t port, int timeoutMilliseconds) {
  static const std::string request = std::string(kUpgradeLines) + "\r\n";
  return Upgrade(port, request, timeoutMilliseconds);
}

bool BenchClient::OpenJson(std::uint16_t port, std::string_view subscriptions) {
  static const std::string request =
      std::string(kUpgradeLines) + "Sec-WebSocket-Protocol: zyl.v2\r\n\r\n";
  if (!Upgrade(port, request, 5000)) return false;
  std::string message;
  if (!ReceiveText(message) || message.find("\"op\":\"hello\"") == std::string::npos)
    return Close(), false;
  const std::string identify =
      "{\"op\":\"identify\",\"protocol\":2,\"subscriptions\":" + std::string(subscriptions) + "}";
  if (!Send(MaskedTextFrame(identify)) || !ReceiveText(message) ||
      message.find("\"op\":\"identified\"") == std::string::npos)
    return Close(), false;
  return true;
}

void BenchClient::ShrinkReceiveBuffer() { SetReceiveBuffer(socket_, 1024); }

bool BenchClient::Upgrade(std::uint16_t port, std::string_view request, int timeoutMilliseconds) {
  Close();
  socket_ = ConnectLoopback(port);
  if (socket_ < 0) return false;
  SetReceiveTimeout(socket_, timeoutMilliseconds);
  if (!SendAll(socket_, request)) return Close(), false;
  std::size_t end = std::string_view::npos;
  while ((end = Unread().find("\r\n\r\n")) == std::string_view::npos)
    if (!Fill(Unread().size() + 1)) return Close(), false;
  const bool upgraded = Unread().substr(0, 12) == "HTTP/1.1 101";
  read_ += end + 4;
  if (!upgraded) Close();
  return upgraded;
}

bool BenchClient::Fill(std::size_t count) {
  if (read_ == filled_) read_ = filled_ = 0;
  if (buffer_.size() - read_ < count) {
    // Moves the unread bytes to the front, growing only for a frame larger than the buffer.
    buffer_.erase(0, read_);
    filled_ -= read_;
    read_ = 0;
    buffer_.resize(std::max(count, kReadChunk));
  }
  while (filled_ - read_ < count) {
    const ssize_t got = ::recv(socket_, buffer_.data() + filled_, buffer_.size() - filled_, 0);
    if (got <= 0) return false;
    filled_ += static_cast<std::size_t>(got);
  }
  return true;
}

bool BenchClient::Send(std::string_view frameBytes) { return SendAll(socket_, frameBytes); }

bool BenchClient::ReceiveText(std::string& text) {
  for (;;) {
    if (!Fill(2)) return false;
    const auto* head = reinterpret_cast<const unsigned char*>(buffer_.data() + read_);
    const unsigned opcode = head[0] & 0x0F;
    std::size_t length = head[1] & 0x7F;
    std::size_t header = 2;
    if (length == 126) header = 4;
    if (length == 127) header = 10;
    if (!Fill(header)) return false;
    head = reinterpret_cast<const unsigned char*>(buffer_.data() + read_);
    if (header > 2) {
      length = 0;
      for (std::size_t i = 2; i < header; ++i)
        length = (length << 8) | head[i];
    }
    if (!Fill(header + length)) return false;
    const std::size_t start = read_ + header;
    read_ = start + length;
    if (opcode == 0x1) {
      text.assign(buffer_, start, length);
      return true;
    }
    if (opcode == 0x8) return false;
  }
}

bool BenchClient::RoundTrip(std::string_view frameBytes, int replies) {
  if (!Send(frameBytes)) return false;
  for (int i = 0; i < replies; ++i)
    if (!ReceiveText(scratch_)) return false;
  return true;
}

} // namespace zylbench
