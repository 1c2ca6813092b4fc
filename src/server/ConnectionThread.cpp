// A connection thread: one connection after another, each with its first-byte wait, its
// handshake, then one message after another.
#include "platform/Platform.h"
#include "server/ClientConnection.h"
#include "server/FrameReader.h"
#include "server/Handshake.h"
#include "server/MessageHandler.h"
#include "server/ServerLimits.h"
#include "server/ServerRegistry.h"

#include <chrono>
#include <optional>
#include <thread>

namespace ZYL {

namespace {

// Removes `socket` from `registry` only when it still names this very connection.
void EraseEntry(std::map<int, std::shared_ptr<ClientConnection>>& registry, int socket,
                const std::shared_ptr<ClientConnection>& connection) {
  if (const auto entry = registry.find(socket);
      entry != registry.end() && entry->second == connection)
    registry.erase(entry);
}

// Registered from the start, so Stop can cut even a stalled handshake short; a connection
// that arrives after the stop began is not served.
std::shared_ptr<ClientConnection> RegisterConnection(Server::Registry& registry,
                                                     platform::Socket socket) {
  std::shared_ptr<ClientConnection> connection;
  try {
    connection = std::make_shared<ClientConnection>(socket);
  } catch (...) {
    registry.peerPlaces.GiveBack(socket);
    platform::CloseSocket(socket);
    return nullptr;
  }
  try {
    const std::lock_guard<std::mutex> lock(registry.clientLock);
    if (registry.running.load() && registry.connections.emplace(socket, connection).second)
      return connection;
  } catch (...) {
  }
  // Given back while the connection still holds the socket open.
  registry.peerPlaces.GiveBack(socket);
  return nullptr;
}

void Serve(Server::Registry& registry, const std::shared_ptr<ClientConnection>& connection,
           bool& registered) {
  const platform::Socket socket = connection->Socket();
  if (platform::WaitReadable(socket, server::kFirstByteWaitMilliseconds) !=
          platform::WaitResult::Ready ||
      !PerformHandshake(*connection))
    return;
  {
    const std::lock_guard<std::mutex> lock(registry.clientLock);
    registered = registry.clients.emplace(socket, connection).second;
  }
  if (!registered) return;
  registry.handler->Opened(*connection);
  const bool json = connection->Admitted().protocol == WireProtocol::Json;
  Conversation& talk = connection->Talk();
  // A message being handled when the server stops is finished; no new read starts.
  while (registry.running.load() && !talk.ended) {
    if (!json) {
      const std::string message = ReadTextMessage(*connection);
      if (message.empty()) break;
      registry.handler->HandleMessage(*connection, message);
      continue;
    }
    const JsonRead read = ReadJsonMessage(*connection, talk.readDeadline);
    if (read.status == JsonRead::Status::Late) registry.handler->Late(*connection);
    if (read.status != JsonRead::Status::Message) break;
    registry.handler->HandleMessage(*connection, read.message);
  }
  // The stop came between two reads: Stop may no longer find this connection registered.
  if (!registry.running.load() && !talk.ended) SendGoingAway(*connection);
}

// The connection is over: it leaves the registry and gives its place back.
void Unregister(Server::Registry& registry, const std::shared_ptr<ClientConnection>& connection,
                platform::Socket socket, bool registered) {
  const std::lock_guard<std::mutex> lock(registry.clientLock);
  if (connection) {
    if (registered) {
      EraseEntry(registry.clients, socket, connection);
      if (registry.vitalsSubscribers.erase(socket) > 0) registry.subscriberCount.fetch_sub(1);
    }
    EraseEntry(registry.connections, socket, connection);
    registry.peerPlaces.GiveBack(socket);
  }
  registry.clientCount.fetch_sub(1);
}

// One connection's life: first-byte wait, handshake, then one message after another.
void HandleClient(Server::Registry& registry, platform::Socket socket) {
  std::shared_ptr<ClientConnection> connection = RegisterConnection(registry, socket);
  bool registered = false;
  try {
    if (connection) Serve(registry, connection, registered);
  } catch (...) {
    // A failed command or an exhausted system ends this connection only.
  }
  try {
    Unregister(registry, connection, socket, registered);
  } catch (...) {
  }
  // The socket closes here unless the vitals thread still holds it for a push.
}

// The next socket handed to this thread, or none once it waited in vain or the server
// stops (clientLock held through `lock`). A thread that a stop has let go (the stop ran on
// it, so it was not joined) takes nothing more, even when a new start has come since: no
// later stop would wait for it.
std::optional<platform::Socket> AwaitHandedSocket(Server::Registry& registry,
                                                  std::unique_lock<std::mutex>& lock) {
  if (!registry.running.load() || !registry.connectionThreads.contains(std::this_thread::get_id()))
    return std::nullopt;
  ++registry.idleThreads;
  registry.socketHanded.wait_for(
      lock, std::chrono::milliseconds(server::kIdleThreadMilliseconds),
      [&] { return !registry.handedSockets.empty() || !registry.running.load(); });
  if (registry.handedSockets.empty()) {
    --registry.idleThreads;
    return std::nullopt;
  }
  // The socket was counted against the waiting threads when it was handed over.
  const platform::Socket socket = registry.handedSockets.front();
  registry.handedSockets.pop_front();
  return socket;
}

// This thread's work is done: it moves itself to the threads to be joined (unless Stop has
// taken it already).
void Retire(Server::Registry& registry) {
  if (const auto self = registry.connectionThreads.find(std::this_thread::get_id());
      self != registry.connectionThreads.end()) {
    // Only a want of memory can stop the hand-over; the thread then stays where Stop or
    // the next admission finds it.
    try {
      registry.finishedThreads.push_back(std::move(self->second));
      registry.connectionThreads.erase(self);
    } catch (...) {
    }
  }
}

} // namespace

void ServeConnections(const std::shared_ptr<Server::Registry>& registry, platform::Socket socket) {
  for (;;) {
    HandleClient(*registry, socket);
    try {
      std::unique_lock<std::mutex> lock(registry->clientLock);
      const std::optional<platform::Socket> next = AwaitHandedSocket(*registry, lock);
      if (!next) {
        Retire(*registry);
        return;
      }
      socket = *next;
    } catch (...) {
      // Nothing may leave the thread; it stays where Stop finds it.
      return;
    }
  }
}

} // namespace ZYL
