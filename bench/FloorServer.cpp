#include "FloorServer.h"

#include "BenchSocket.h"
#include "server/FrameParser.h"

#include <poll.h>
#include <sys/socket.h>

namespace zylbench {

namespace {

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
  std::vector<std::thread> threads;
  {
    const std::lock_guard<std::mutex> lock(socketsLock_);
    for (const int socket : sockets_)
      ::shutdown(socket, SHUT_RDWR);
    for (auto& [id, thread] : threads_)
      threads.push_back(std::move(thread));
    threads_.clear();
    for (std::thread& thread : finished_)
      threads.push_back(std::move(thread));
    finished_.clear();
  }
  for (std::thread& thread : threads)
    thread.join();
  CloseSocket(listener_);
}

void FloorServer::AcceptLoop() {
  while (running_) {
    JoinFinishedThreads();
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, kAcceptPollMilliseconds) <= 0) continue;
    const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    DisableNagle(socket); // as the engine does on every accepted socket
    // Registered under the lock that the thread's last step takes, so it cannot finish
    // before it is known.
    const std::lock_guard<std::mutex> lock(socketsLock_);
    sockets_.insert(socket);
    std::thread thread([this, socket] {
      Serve(socket);
      Finish(socket);
    });
    threads_.emplace(thread.get_id(), std::move(thread));
  }
}

void FloorServer::Finish(int socket) {
  const std::lock_guard<std::mutex> lock(socketsLock_);
  sockets_.erase(socket);
  CloseSocket(socket);
  if (const auto self = threads_.find(std::this_thread::get_id()); self != threads_.end()) {
    finished_.push_back(std::move(self->second));
    threads_.erase(self);
  }
}

void FloorServer::JoinFinishedThreads() {
  std::vector<std::thread> finished;
  {
    const std::lock_guard<std::mutex> lock(socketsLock_);
    finished.swap(finished_);
  }
  for (std::thread& thread : finished)
    thread.join();
}

void FloorServer::Serve(int socket) {
  std::string request;
  char chunk[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = ::recv(socket, chunk, sizeof chunk, 0);
    if (got <= 0) return;
    request.append(chunk, static_cast<std::size_t>(got));
  }
  if (!SendAll(socket, kFloorUpgradeReply)) return;
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
