#include "OneThreadFloor.h"

#include "BenchSocket.h"
#include "FloorServer.h"

#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace zylbench {

namespace {

constexpr std::size_t kChunk = 4096;

struct FloorClient {
  int socket = -1;
  bool upgraded = false;
  std::string request; // received so far, until its blank line
};

int AcceptClient(int listener) {
  const int socket = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (socket >= 0) DisableNagle(socket); // as the engine does on every accepted socket
  return socket;
}

// Takes what `client` sent; false when the connection is over.
bool Answer(FloorClient& client, std::string_view replyFrame) {
  char chunk[kChunk];
  const ssize_t got = ::recv(client.socket, chunk, sizeof chunk, 0);
  if (got <= 0) return false;
  if (client.upgraded) return SendAll(client.socket, replyFrame);
  client.request.append(chunk, static_cast<std::size_t>(got));
  if (client.request.find("\r\n\r\n") == std::string::npos) return true;
  client.upgraded = true;
  client.request = std::string();
  return SendAll(client.socket, kFloorUpgradeReply);
}

} // namespace

void RunOneThreadFloor(int listener, std::string_view replyFrame) {
  // Entry 0 is the listener; entry i + 1 belongs to clients[i].
  std::vector<pollfd> entries{{listener, POLLIN, 0}};
  std::vector<FloorClient> clients;
  for (;;) {
    if (::poll(entries.data(), entries.size(), -1) <= 0) continue;
    // From the last down, so that a client moved into a closed one's place was seen already.
    for (std::size_t i = clients.size(); i > 0; --i) {
      if (entries[i].revents == 0 || Answer(clients[i - 1], replyFrame)) continue;
      CloseSocket(clients[i - 1].socket);
      clients[i - 1] = std::move(clients.back());
      clients.pop_back();
      entries[i] = entries.back();
      entries.pop_back();
    }
    if (entries[0].revents & POLLIN) {
      if (const int socket = AcceptClient(listener); socket >= 0) {
        clients.push_back({socket, false, {}});
        entries.push_back({socket, POLLIN, 0});
      }
    }
  }
}

void RunOneFrameFloor(int listener, std::string_view replyFrame) {
  for (;;) {
    const int socket = AcceptClient(listener);
    if (socket < 0) continue;
    FloorClient client{socket, false, {}};
    while (!client.upgraded && Answer(client, replyFrame)) {
    }
    // The client sends one small frame and waits for its answer, so one receive holds it.
    if (client.upgraded) Answer(client, replyFrame);
    CloseSocket(socket);
  }
}

} // namespace zylbench
