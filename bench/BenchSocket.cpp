#include "BenchSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace zylbench {

namespace {

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

} // namespace

void DisableNagle(int socket) {
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int ConnectLoopback(std::uint16_t port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return -1;
  const sockaddr_in address = LoopbackAddress(port);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(socket);
    return -1;
  }
  DisableNagle(socket);
  return socket;
}

int ListenLoopback(std::uint16_t* port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return -1;
  sockaddr_in address = LoopbackAddress(0);
  socklen_t size = sizeof address;
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(socket, 64) != 0 ||
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(socket);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return socket;
}

bool SendAll(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool ReceiveExactly(int socket, char* buffer, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t got = ::recv(socket, buffer + total, size - total, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    total += static_cast<std::size_t>(got);
  }
  return true;
}

void SetReceiveTimeout(int socket, int milliseconds) {
  timeval limit{};
  limit.tv_sec = milliseconds / 1000;
  limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

void SetReceiveBuffer(int socket, int bytes) {
  ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void CloseSocket(int socket) {
  if (socket >= 0) ::close(socket);
}

} // namespace zylbench
