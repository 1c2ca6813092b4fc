#include "FloorServer.h"

#include "BenchSocket.h"

#include <poll.h>
#include <sys/socket.h>

namespace zylbench {

namespace {

constexpr std::string_view kUpgradeReply =
    "HTTP/1.1 101 Switching Protocols\r\n"
    "Upgrade: websocket\r\n"
    "Connection: Upgrade\r\n"
    "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";
constexpr int kAcceptPollMilliseconds = 100;

} // namespace

FloorServer::FloorServer(std::vector<std::string> replyFrames)
    : replyFrames_(std::move(replyFrames)) {
  listener_ = ListenLoopback(&port_);
  if (listener_ < 0) {
    port_ = 0;
    return;
  }
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

FloorServer::~FloorServer() {
  running_ = false;
  if (acceptThread_.joinable()) acceptThread_.join();
  {
    const std::lock_guard<std::mutex> lock(socketsLock_);
    for (const int socket : sockets_)
      ::shutdown(socket, SHUT_RDWR);
  }
  for (std::thread& thread : threads_)
    thread.join();
  for (const int socket : sockets_)
    CloseSocket(socket);
  CloseSocket(listener_);
}

void FloorServer::AcceptLoop() {
  while (running_) {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, kAcceptPollMilliseconds) <= 0) continue;
    const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    const std::lock_guard<std::mutex> lock(socketsLock_);
    sockets_.push_back(socket);
    threads_.emplace_back([this, socket] { Serve(socket); });
  }
}

void FloorServer::Serve(int socket) {
  std::string request;
  char chunk[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = ::recv(socket, chunk, sizeof chunk, 0);
    if (got <= 0) return;
    request.append(chunk, static_cast<std::size_t>(got));
  }
  if (!SendAll(socket, kUpgradeReply)) return;
  // The client sends one small frame and waits for its answer, so one receive holds it.
  while (::recv(socket, chunk, sizeof chunk, 0) > 0)
    for (const std::string& frame : replyFrames_)
      if (!SendAll(socket, frame)) return;
}

} // namespace zylbench
