// A connection thread: one connection after another, each with its first-byte wait, its
// handshake, then one message after another.
#include "server/ConnectionThread.h"

#include "platform/Platform.h"
#include "server/ClientConnection.h"
#include "server/FrameReader.h"
#include "server/Handshake.h"
#include "server/MessageHandler.h"
#include "server/PeerAdmission.h"
#include "server/ServerLimits.h"
#include "server/ServerRegistry.h"

#include <mutex>
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
                                                     platform::Socket socket,
                                                     std::optional<platform::Ipv4Address> peer) {
  std::shared_ptr<ClientConnection> connection;
  try {
    connection = std::make_shared<ClientConnection>(socket, server::kOutgoingQueueBytes, peer);
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

void ServeConnection(Server::Registry& registry,
                     const std::shared_ptr<ClientConnection>& connection, bool& registered) {
  const platform::Socket socket = connection->Socket();
  if (!PerformHandshake(*connection, registry.statusFacts)) return;
  {
    const std::lock_guard<std::mutex> lock(registry.clientLock);
    registered = registry.clients.emplace(socket, connection).second;
  }
  if (!registered) return;
  registry.handler->Opened(*connection);
  // The text protocol's clients are read by the lenient rules, the JSON protocol's by RFC 6455.
  const bool rfc6455 = connection->Admitted().protocol == WireProtocol::Json;
  Conversation& talk = connection->Talk();
  // A message being handled when the server stops is finished; no new read starts.
  while (registry.running.load() && !talk.ended) {
    // The last message's reply is gone: what a large one took goes back to the system, so
    // that a burst leaves the host no larger (the heap would keep it for itself).
    if (connection->TakeLargeBufferReleased()) platform::ReturnFreeMemory();
    if (!rfc6455) {
      const std::string message = ReadLenientMessage(*connection);
      if (message.empty()) break;
      registry.handler->HandleMessage(*connection, message);
      continue;
    }
    const FramedRead read = ReadRfc6455Message(*connection, talk.readDeadline);
    if (read.status == FramedRead::Status::Late) registry.handler->Late(*connection);
    if (read.status != FramedRead::Status::Message) break;
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
void HandleClient(Server::Registry& registry, platform::Socket socket,
                  std::optional<platform::Ipv4Address> peer) {
  std::shared_ptr<ClientConnection> connection = RegisterConnection(registry, socket, peer);
  bool registered = false;
  try {
    if (connection) ServeConnection(registry, connection, registered);
  } catch (...) {
    // A failed command or an exhausted system ends this connection only.
  }
  try {
    Unregister(registry, connection, socket, registered);
  } catch (...) {
  }
  // The socket closes here unless the vitals thread still holds it for a push.
}

// The next connection, accepted by this thread itself, or kNoSocket once it waited
// server::kIdleThreadMilliseconds in vain or the server stops. A thread that a stop has let go
// (the stop ran on it, so it was not joined) takes nothing more, even when a new start has
// come since: no later stop would wait for it. `counted`: the thread is among the accepting
// ones already.
platform::Socket AcceptNext(Server::Registry& registry, bool counted,
                            std::optional<platform::Ipv4Address>& peer) {
  for (;;) {
    platform::Socket listener = platform::kNoSocket;
    {
      const std::lock_guard<std::mutex> lock(registry.clientLock);
      if (!counted) {
        if (!registry.running.load() ||
            !registry.connectionThreads.contains(std::this_thread::get_id()))
          return platform::kNoSocket;
        ++registry.acceptingThreads;
      }
    }
    listener = registry.listeners.Sole();
    // Stop shuts the listener down, which ends the wait, and closes it only after joining
    // this thread. Of several threads waiting here, the system wakes one per connection.
    const platform::Socket accepted =
        listener == platform::kNoSocket
            ? platform::kNoSocket
            : platform::AcceptWithin(listener, server::kIdleThreadMilliseconds, &peer);
    bool placed = false;
    {
      const std::lock_guard<std::mutex> lock(registry.clientLock);
      // The place is counted before this thread stops counting among the accepting ones: an
      // accept thread that sees none accepting sees the place taken, and closes a connection
      // beyond the last place rather than serve it.
      if (accepted != platform::kNoSocket)
        placed = registry.clientCount.fetch_add(1) < server::kMaxConnections;
      if (--registry.acceptingThreads == 0) {
        // The accept thread watches the listener again, or starts a thread to wait in accept.
        registry.threadWanted = accepted != platform::kNoSocket;
        registry.acceptThreadWake.notify_one();
      }
    }
    if (accepted == platform::kNoSocket) return platform::kNoSocket;
    // A sole listener may be every interface's: a network peer is let on as the accept
    // thread lets it on.
    if (placed && AdmitPeer(accepted, peer, registry.peerPlaces, registry.failedAuthentications))
      return accepted;
    // Only a burst of new threads can leave more of them waiting than there are places.
    registry.clientCount.fetch_sub(1);
    platform::CloseSocket(accepted);
    counted = false;
  }
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

void ServeConnections(const std::shared_ptr<Server::Registry>& registry, platform::Socket socket,
                      std::optional<platform::Ipv4Address> peer) {
  bool counted = socket == platform::kNoSocket;
  for (;;) {
    if (socket != platform::kNoSocket) HandleClient(*registry, socket, peer);
    try {
      socket = AcceptNext(*registry, counted, peer);
      counted = false;
      if (socket != platform::kNoSocket) continue;
      const std::lock_guard<std::mutex> lock(registry->clientLock);
      Retire(*registry);
      registry->acceptThreadWake.notify_one();
      return;
    } catch (...) {
      // Nothing may leave the thread; it stays where Stop finds it.
      return;
    }
  }
}

} // namespace ZYL
