#include "server/ClientConnection.h"

#include "server/FrameWriter.h"
#include "server/ServerLimits.h"

#include <chrono>

namespace ZYL {

ClientConnection::ClientConnection(platform::Socket socket) noexcept : socket_(socket) {
  platform::SetSendTimeout(socket_, server::kSendTimeoutMilliseconds);
  platform::SetNoDelay(socket_);
}

ClientConnection::~ClientConnection() { platform::CloseSocket(socket_); }

void ClientConnection::Send(std::string_view text) { SendTextFrame(*this, text); }

void ClientConnection::SetTopics(TopicSet topics) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  topics_.store(topics.Bits());
}

void ClientConnection::SendThenSetTopics(std::string_view text, TopicSet topics) {
  const std::string frame = EncodeTextFrame(text);
  const std::lock_guard<std::mutex> lock(sendLock_);
  SendLocked(frame);
  topics_.store(topics.Bits());
}

bool ClientConnection::SendPush(Topic topic, std::string_view bytes) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  if (!Topics().Contains(topic)) return false;
  return SendLocked(bytes);
}

bool ClientConnection::SendBytes(std::string_view bytes) noexcept {
  std::lock_guard<std::mutex> lock(sendLock_);
  return SendLocked(bytes);
}

bool ClientConnection::SendLocked(std::string_view bytes) noexcept {
  if (broken_) return false;
  // The bound holds for the whole write, not for each call: a peer whose buffers take a few
  // more bytes now and then would otherwise hold the sender for a full bound per trickle.
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(server::kSendTimeoutMilliseconds);
  bool boundShortened = false;
  while (!bytes.empty()) {
    const std::ptrdiff_t sent = platform::SendSome(socket_, bytes.data(), bytes.size());
    if (sent <= 0) return Break();
    bytes.remove_prefix(static_cast<std::size_t>(sent));
    if (bytes.empty()) break;
    // A short send: the rest gets what is left of the bound (zero would mean no bound).
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return Break();
    platform::SetSendTimeout(socket_, static_cast<int>(left));
    boundShortened = true;
  }
  if (boundShortened) platform::SetSendTimeout(socket_, server::kSendTimeoutMilliseconds);
  return true;
}

bool ClientConnection::Break() noexcept {
  broken_ = true;
  platform::ShutdownBoth(socket_);
  return false;
}

void ClientConnection::SendLast(std::string_view bytes) noexcept {
  if (SendBytes(bytes)) {
    const std::lock_guard<std::mutex> lock(sendLock_);
    Break();
  }
}

void ClientConnection::Shutdown() noexcept { platform::ShutdownBoth(socket_); }

} // namespace ZYL
