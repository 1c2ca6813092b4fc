// Start and stop of the server, the accept thread, and the subscriber registry.
#include "server/Server.h"

#include "server/ClientConnection.h"
#include "server/CloseCodes.h"
#include "server/ClosePayload.h"
#include "server/DiagnosticLog.h"
#include "server/ServerRegistry.h"

#include <chrono>
#include <string>
#include <utility>

namespace ZYL {
namespace {

using RegistryPointer = std::shared_ptr<Server::Registry>;

// Opens the listener, saying once why it could not: a held port otherwise leaves an engine
// that looks loaded and serves nobody.
bool TryListen(Server::Registry& registry, std::uint16_t port, bool& warned) {
  std::string failure;
  const platform::Socket listener =
      platform::OpenLoopbackListener(port, server::kListenBacklog, &failure);
  if (listener == platform::kNoSocket) {
    if (!warned)
      WriteEngineDiagnostic("ZYL Engine: cannot listen on 127.0.0.1:" + std::to_string(port) +
                            " (" + failure + "); retrying every 2 s");
    warned = true;
    return false;
  }
  registry.listenSocket.store(listener);
  return true;
}

// Joins the connection threads that have finished their work.
void JoinFinishedThreads(Server::Registry& registry) {
  std::vector<std::thread> finished;
  {
    const std::lock_guard<std::mutex> lock(registry.clientLock);
    finished.swap(registry.finishedThreads);
  }
  for (std::thread& thread : finished)
    thread.join();
}

// Starts a connection thread for `socket` (clientLock held), or, given
// kNoSocket, one that begins by waiting in accept. Throws when the system refuses.
void StartConnectionThread(const RegistryPointer& registry, platform::Socket socket) {
  // Everything the new thread's entry needs is allocated before the thread starts, since
  // a running thread object that is dropped ends the process: the entry's node (made
  // under no thread's id, then taken out) and a place among the threads to be joined.
  auto placeholder = registry->connectionThreads.try_emplace(std::thread::id{}).first;
  auto entry = registry->connectionThreads.extract(placeholder);
  registry->finishedThreads.reserve(registry->finishedThreads.size() + 1);
  // Registered under the lock the thread's last step needs, so it cannot finish before it
  // is known.
  entry.mapped() = std::thread([registry, socket] { ServeConnections(registry, socket); });
  entry.key() = entry.mapped().get_id();
  auto inserted = registry->connectionThreads.insert(std::move(entry));
  // A finished thread whose hand-over failed may still hold a reused id: it goes to the
  // threads to be joined, so no running thread object is ever dropped.
  if (!inserted.inserted) {
    registry->finishedThreads.push_back(std::move(inserted.position->second));
    inserted.position->second = std::move(inserted.node.mapped());
  }
}

// Gives `accepted` to a new connection thread, or closes it when all places are taken.
void AdmitConnection(const RegistryPointer& registry, platform::Socket accepted) {
  if (registry->clientCount.fetch_add(1) >= server::kMaxConnections) {
    registry->clientCount.fetch_sub(1);
    platform::CloseSocket(accepted);
    return;
  }
  try {
    const std::lock_guard<std::mutex> lock(registry->clientLock);
    StartConnectionThread(registry, accepted);
  } catch (...) {
    platform::CloseSocket(accepted);
    registry->clientCount.fetch_sub(1);
  }
}

// Whether this thread is to watch the listener now. While a connection thread waits in
// accept, that thread takes the next connection itself and this one sleeps; when the last
// waiting one took a connection, this one starts another to wait while places remain, and
// watches the listener itself only when none can be started (all places taken, so that a
// further client is closed at once) or when the waiting ones gave up for want of clients.
bool ListenerIsOurs(const RegistryPointer& registry) {
  std::unique_lock<std::mutex> lock(registry->clientLock);
  registry->acceptThreadWake.wait(lock, [&] {
    return !registry->running.load() || registry->acceptingThreads == 0 || registry->threadWanted ||
           !registry->finishedThreads.empty();
  });
  if (!registry->running.load() || !registry->finishedThreads.empty()) return false;
  const bool wanted = std::exchange(registry->threadWanted, false);
  if (registry->acceptingThreads > 0) return false;
  if (wanted &&
      registry->connectionThreads.size() < static_cast<std::size_t>(server::kMaxConnections)) {
    ++registry->acceptingThreads;
    try {
      StartConnectionThread(registry, platform::kNoSocket);
      return false;
    } catch (...) {
      --registry->acceptingThreads;
    }
  }
  return true;
}

// Whether a connection thread has come to wait in accept since this thread began to watch:
// the pending connection is then left to it.
bool ConnectionThreadAccepts(const Server::Registry& registry) {
  const std::lock_guard<std::mutex> lock(registry.clientLock);
  return registry.acceptingThreads > 0;
}

void WaitBeforeRetry(Server::Registry& registry, std::chrono::milliseconds pause) {
  std::unique_lock<std::mutex> lock(registry.clientLock);
  registry.stopRequested.wait_for(lock, pause, [&] { return !registry.running.load(); });
}

void AcceptLoop(const RegistryPointer& registry, std::uint16_t port, bool warned) {
  while (registry->running.load()) {
    try {
      JoinFinishedThreads(*registry);
      const platform::Socket listener = registry->listenSocket.load();
      if (listener == platform::kNoSocket) {
        if (!TryListen(*registry, port, warned))
          WaitBeforeRetry(*registry, std::chrono::milliseconds(server::kBindRetryMilliseconds));
        continue;
      }
      if (!ListenerIsOurs(registry)) continue;
      // No time-out: Stop shuts the listener down, which ends the wait, so an idle server
      // does not wake at all.
      const platform::WaitResult wait = platform::WaitReadable(listener, platform::kWaitForever);
      if (wait != platform::WaitResult::Ready) {
        if (wait == platform::WaitResult::Failed)
          WaitBeforeRetry(*registry, std::chrono::milliseconds(server::kAcceptBackoffMilliseconds));
        continue;
      }
      if (ConnectionThreadAccepts(*registry)) continue;
      const platform::Socket accepted = platform::Accept(listener);
      if (accepted == platform::kNoSocket) {
        // For example out of descriptors: the pending connection stays readable, so a
        // retry at once would spin.
        WaitBeforeRetry(*registry, std::chrono::milliseconds(server::kAcceptBackoffMilliseconds));
        continue;
      }
      AdmitConnection(registry, accepted);
    } catch (...) {
      // Nothing may leave the thread; the loop goes on while the server runs.
    }
  }
}

} // namespace

void SendGoingAway(ClientConnection& connection) noexcept {
  if (connection.Admitted().protocol == WireProtocol::Json)
    connection.SendLast(CloseFrame(CloseNumber(CloseCode::GoingAway), "the engine is stopping"));
}

Server::Server(std::uint16_t port) : port_(port), registry_(std::make_shared<Registry>()) {}

Server::~Server() { Stop(); }

const std::atomic<bool>& Server::Running() const noexcept { return registry_->running; }

bool Server::Listening() const noexcept {
  return registry_->listenSocket.load() != platform::kNoSocket;
}

void Server::Start(MessageHandler& handler, StatusFacts facts) {
  const std::lock_guard<std::mutex> guard(acceptThreadLock_);
  // A second start while running would leave a second listener and lose the threads.
  if (registry_->running.load() || acceptThread_.joinable()) return;
  if (!platform::StartNetworking()) return;
  // Large replies are freed on the connection threads; their heaps must give the memory back.
  platform::KeepHeapTopsSmall();
  registry_->handler = &handler;
  registry_->statusFacts = std::move(facts);
  bool warned = false;
  // The first try is made here, so that a client may connect as soon as Start returns.
  TryListen(*registry_, port_, warned);
  registry_->running.store(true);
  try {
    acceptThread_ = std::thread(
        [registry = registry_, port = port_, warned] { AcceptLoop(registry, port, warned); });
  } catch (...) {
    // The system refused a thread: end fully stopped, listener closed, nothing running.
    registry_->running.store(false);
    if (const platform::Socket listener = registry_->listenSocket.exchange(platform::kNoSocket);
        listener != platform::kNoSocket)
      platform::CloseSocket(listener);
  }
}

void Server::Stop() noexcept {
  Registry& registry = *registry_;
  registry.running.store(false);
  {
    // Taking the lock orders these wake-ups after any running-test of a waiting retry or
    // of a connection thread waiting for its next socket.
    const std::lock_guard<std::mutex> lock(registry.clientLock);
  }
  registry.stopRequested.notify_all();
  registry.acceptThreadWake.notify_all();

  // The listener is shut down first (which wakes the accept thread and every connection
  // thread waiting in accept) and closed only after every thread has gone, so its number
  // cannot be reused under a running accept.
  std::thread acceptThread;
  {
    const std::lock_guard<std::mutex> guard(acceptThreadLock_);
    acceptThread.swap(acceptThread_);
  }
  if (const platform::Socket listener = registry.listenSocket.load();
      listener != platform::kNoSocket)
    platform::ShutdownBoth(listener);
  if (acceptThread.joinable()) acceptThread.join();

  // Every connection, registered or still in the handshake, has its reads fail now; then
  // every connection thread is joined, except the caller's own when a command it ran
  // stopped the server: that thread ends by itself once its message is handled.
  std::vector<std::thread> threads;
  {
    const std::lock_guard<std::mutex> lock(registry.clientLock);
    // A JSON-protocol client is told why (going away) before its socket is shut down; one
    // whose thread saw the stop between two reads is told by that thread.
    for (const auto& [socket, connection] : registry.clients)
      SendGoingAway(*connection);
    for (const auto& [socket, connection] : registry.connections)
      connection->Shutdown();
    for (auto& [id, thread] : registry.connectionThreads)
      threads.push_back(std::move(thread));
    registry.connectionThreads.clear();
    for (std::thread& thread : registry.finishedThreads)
      threads.push_back(std::move(thread));
    registry.finishedThreads.clear();
  }
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
  // The thread a stop ran on no longer accepts: it is no connection thread of this server.
  if (const platform::Socket listener = registry.listenSocket.exchange(platform::kNoSocket);
      listener != platform::kNoSocket)
    platform::CloseSocket(listener);
}

bool Server::Subscribe(const ReplySink& client) {
  // Only a registered connection can subscribe: the connection thread removes exactly the
  // sockets of `clients` from the subscribers when it ends, so any other socket number would
  // stay subscribed (and counted) for ever and receive pushes after it was reused.
  const int socket = client.Socket();
  {
    const std::lock_guard<std::mutex> lock(registry_->clientLock);
    if (!registry_->clients.contains(socket)) return false;
    if (!registry_->vitalsSubscribers.insert(socket).second) return false;
    ++registry_->subscriberCount;
  }
  // Told without the registry's lock held, since the listener takes a lock of its own.
  const std::lock_guard<std::mutex> guard(subscribeListenerLock_);
  if (subscribeListener_) subscribeListener_();
  return true;
}

void Server::SetSubscribeListener(std::function<void()> listener) {
  const std::lock_guard<std::mutex> guard(subscribeListenerLock_);
  subscribeListener_ = std::move(listener);
}

std::vector<std::shared_ptr<ClientConnection>> Server::Subscribers() const {
  std::vector<std::shared_ptr<ClientConnection>> subscribers;
  const std::lock_guard<std::mutex> lock(registry_->clientLock);
  subscribers.reserve(registry_->vitalsSubscribers.size());
  for (const int socket : registry_->vitalsSubscribers) {
    const auto client = registry_->clients.find(socket);
    if (client != registry_->clients.end() && client->second) subscribers.push_back(client->second);
  }
  return subscribers;
}

std::int32_t Server::ConnectionCount() const noexcept { return registry_->clientCount.load(); }

std::int32_t Server::SubscriberCount() const noexcept { return registry_->subscriberCount.load(); }

} // namespace ZYL
