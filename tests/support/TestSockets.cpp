#include "TestSockets.h"

#include "platform/Platform.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zyltest {

namespace {

// Winsock takes option values as char pointers and its sockets as SOCKET.
template <typename Value> void SetOption(int socket, int level, int name, const Value& value) {
#ifdef _WIN32
  ::setsockopt(static_cast<SOCKET>(socket), level, name, reinterpret_cast<const char*>(&value),
               sizeof value);
#else
  ::setsockopt(socket, level, name, &value, sizeof value);
#endif
}

} // namespace

void StarveReceives(int socket) {
  const int tiny = 1;
  SetOption(socket, SOL_SOCKET, SO_RCVBUF, tiny);
#ifdef TCP_MAXSEG
  // Winsock's headers here offer no segment size option; the small window alone must do.
  const int segment = 536;
  SetOption(socket, IPPROTO_TCP, TCP_MAXSEG, segment);
#endif
}

void ResetOnClose(int socket) {
  const linger abort{1, 0};
  SetOption(socket, SOL_SOCKET, SO_LINGER, abort);
}

bool ConnectsTo(const char* address, std::uint16_t port) {
  if (!ZYL::platform::StartNetworking()) return false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  if (::inet_pton(AF_INET, address, &target.sin_addr) != 1) return false;
#ifdef _WIN32
  const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket == INVALID_SOCKET) return false;
  const bool connected =
      ::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
  ::closesocket(socket);
#else
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return false;
  const bool connected =
      ::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
  ::close(socket);
#endif
  return connected;
}

} // namespace zyltest
