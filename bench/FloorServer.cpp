#include "FloorServer.h"

#include "BenchSocket.h"
#include "server/FrameParser.h"

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

FloorServer::FloorServer(std::vector<std::string> replyFrames, FloorReads reads)
    : replyFrames_(std::move(replyFrames)), reads_(reads) {
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
    DisableNagle(socket); // as the engine does on every accepted socket
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
  for (;;) {
    // The client sends one small frame and waits for its answer, so one receive holds it.
    const bool received = reads_ == FloorReads::PerField
                              ? ReceiveFrameByFields(socket)
                              : ::recv(socket, chunk, sizeof chunk, 0) > 0;
    if (!received) return;
    for (const std::string& frame : replyFrames_)
      if (!SendAll(socket, frame)) return;
  }
}

bool FloorServer::ReceiveFrameByFields(int socket) {
  // The engine's own parser says how many bytes each field takes.
  ZYL::FrameParser parser;
  std::string field;
  for (;;) {
    field.resize(parser.BytesWanted());
    if (::recv(socket, field.data(), field.size(), MSG_WAITALL) !=
        static_cast<ssize_t>(field.size()))
      return false;
    const ZYL::FrameParser::Outcome outcome = parser.Feed(field).outcome;
    if (outcome != ZYL::FrameParser::Outcome::NeedMore)
      return outcome == ZYL::FrameParser::Outcome::Message;
  }
}

} // namespace zylbench
