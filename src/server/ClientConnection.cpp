#include "server/ClientConnection.h"

#include "server/FrameWriter.h"
#include "server/ServerLimits.h"

namespace ZYL {

ClientConnection::ClientConnection(platform::Socket socket) noexcept : socket_(socket) {
  platform::SetSendTimeout(socket_, server::kSendTimeoutMilliseconds);
  platform::SetNoDelay(socket_);
}

ClientConnection::~ClientConnection() { platform::CloseSocket(socket_); }

void ClientConnection::Send(std::string_view text) { SendTextFrame(*this, text); }

bool ClientConnection::SendBytes(std::string_view bytes) noexcept {
  std::lock_guard<std::mutex> lock(sendLock_);
  if (broken_) return false;
  while (!bytes.empty()) {
    const std::ptrdiff_t sent = platform::SendSome(socket_, bytes.data(), bytes.size());
    if (sent <= 0) {
      broken_ = true;
      platform::ShutdownBoth(socket_);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void ClientConnection::Shutdown() noexcept { platform::ShutdownBoth(socket_); }

} // namespace ZYL
