// One connection's thread: first-byte wait, handshake, then one command after another.
#include "host/ZYLEngineControlSurface.h"
#include "platform/Platform.h"
#include "server/ClientConnection.h"
#include "server/FrameReader.h"
#include "server/Handshake.h"
#include "server/ServerLimits.h"

namespace ZYL {

namespace {

// Removes `socket` from `registry` only when it still names this very connection.
void EraseEntry(std::map<int, std::shared_ptr<ClientConnection>>& registry, int socket,
                const std::shared_ptr<ClientConnection>& connection) {
  if (const auto entry = registry.find(socket);
      entry != registry.end() && entry->second == connection)
    registry.erase(entry);
}

} // namespace

void ZYLEngineControlSurface::HandleClient(int socket) {
  std::shared_ptr<ClientConnection> connection;
  try {
    connection = std::make_shared<ClientConnection>(socket);
  } catch (...) {
    platform::CloseSocket(socket);
  }
  if (connection) {
    bool admitted = false;
    try {
      std::lock_guard<std::mutex> lock(clientLock);
      // Registered from the start, so StopServer can cut even a stalled handshake short; a
      // connection that arrives after the stop began is not served.
      if (running.load()) admitted = connections.emplace(socket, connection).second;
    } catch (...) {
    }
    if (!admitted) connection.reset();
  }

  bool registered = false;
  try {
    if (connection &&
        platform::WaitReadable(socket, server::kFirstByteWaitMilliseconds) ==
            platform::WaitResult::Ready &&
        PerformHandshake(*connection)) {
      {
        std::lock_guard<std::mutex> lock(clientLock);
        registered = clients.emplace(socket, connection).second;
      }
      // A message being handled when the server stops is finished; no new read starts.
      while (registered && running.load()) {
        const std::string message = ReadTextMessage(*connection);
        if (message.empty()) break;
        DispatchCommand(*connection, message);
      }
    }
  } catch (...) {
    // A failed command or an exhausted system ends this connection only.
  }

  if (connection) {
    std::lock_guard<std::mutex> lock(clientLock);
    if (registered) {
      EraseEntry(clients, socket, connection);
      if (vitalsSubscribers.erase(socket) > 0) subscriberCount.fetch_sub(1);
    }
    EraseEntry(connections, socket, connection);
  }
  // The socket closes here unless the vitals thread still holds it for a push.
  connection.reset();

  // The last touch of the object: the notification is made while clientLock is held, so
  // StopServer (which needs the lock to return from its wait) cannot let the object be
  // destroyed before this thread has let go of both.
  std::lock_guard<std::mutex> lock(clientLock);
  clientCount.fetch_sub(1);
  connectionsEnded.notify_all();
}

} // namespace ZYL
