// Start and stop of the server, the accept thread, and the subscriber registry.
#include "server/Server.h"

#include "server/ClientConnection.h"
#include "server/ConnectionThread.h"
#include "server/PeerAdmission.h"
#include "server/ServerRegistry.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <utility>

namespace ZYL {
namespace {

using RegistryPointer = std::shared_ptr<Server::Registry>;

// Binds what the settings ask for now; read here, on the accept thread, at the start and at
// each retry, never on the host's thread.
bool BindListeners(Server::Registry& registry, std::uint16_t defaultPort) {
  return registry.listeners.Bind(PlanListeners(ReadSettingsFile(SettingsFilePath()), defaultPort));
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
void StartConnectionThread(const RegistryPointer& registry, platform::Socket socket,
                           std::optional<platform::Ipv4Address> peer) {
  // Everything the new thread's entry needs is allocated before the thread starts, since
  // a running thread object that is dropped ends the process: the entry's node (made
  // under no thread's id, then taken out) and a place among the threads to be joined.
  auto placeholder = registry->connectionThreads.try_emplace(std::thread::id{}).first;
  auto entry = registry->connectionThreads.extract(placeholder);
  registry->finishedThreads.reserve(registry->finishedThreads.size() + 1);
  // Registered under the lock the thread's last step needs, so it cannot finish before it
  // is known.
  entry.mapped() =
      std::thread([registry, socket, peer] { ServeConnections(registry, socket, peer); });
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
void AdmitConnection(const RegistryPointer& registry, platform::Socket accepted,
                     std::optional<platform::Ipv4Address> peer) {
  if (registry->clientCount.fetch_add(1) >= server::kMaxConnections) {
    registry->clientCount.fetch_sub(1);
    platform::CloseSocket(accepted);
    return;
  }
  if (!AdmitPeer(accepted, peer, registry->peerPlaces, registry->failedAuthentications)) {
    registry->clientCount.fetch_sub(1);
    platform::CloseSocket(accepted);
    return;
  }
  try {
    const std::lock_guard<std::mutex> lock(registry->clientLock);
    StartConnectionThread(registry, accepted, peer);
  } catch (...) {
    GiveBackPlace(*registry, accepted);
    platform::CloseSocket(accepted);
  }
}

// Whether this thread is to watch the listener now. While a connection thread waits in
// accept, that thread takes the next connection itself and this one sleeps; when the last
// waiting one took a connection, this one starts another to wait while places remain, and
// watches the listener itself only when none can be started (all places taken, so that a
// further client is closed at once) or when the waiting ones gave up for want of clients.
bool ListenerIsOurs(const RegistryPointer& registry,
                    std::optional<std::chrono::steady_clock::time_point> wakeBy) {
  // Connection threads wait in accept on a sole listener only; beside a second one, this
  // thread watches them all.
  if (registry->listeners.Sole() == platform::kNoSocket) return true;
  std::unique_lock<std::mutex> lock(registry->clientLock);
  const auto awake = [&] {
    return !registry->running.load() || registry->acceptingThreads == 0 || registry->threadWanted ||
           !registry->finishedThreads.empty();
  };
  // A bind to try again ends the wait in time for it.
  if (!wakeBy)
    registry->acceptThreadWake.wait(lock, awake);
  else if (!registry->acceptThreadWake.wait_until(lock, *wakeBy, awake))
    return false;
  if (!registry->running.load() || !registry->finishedThreads.empty()) return false;
  const bool wanted = std::exchange(registry->threadWanted, false);
  if (registry->acceptingThreads > 0) return false;
  if (wanted &&
      registry->connectionThreads.size() < static_cast<std::size_t>(server::kMaxConnections)) {
    ++registry->acceptingThreads;
    try {
      StartConnectionThread(registry, platform::kNoSocket, std::nullopt);
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

// Start waits for the first try of the binds, which is made here.
void NoteFirstBindTried(Server::Registry& registry) {
  {
    const std::lock_guard<std::mutex> lock(registry.clientLock);
    registry.firstBindTried = true;
  }
  registry.stopRequested.notify_all();
}

void AcceptLoop(const RegistryPointer& registry, std::uint16_t defaultPort) {
  using Clock = std::chrono::steady_clock;
  const auto retryPause = std::chrono::milliseconds(server::kBindRetryMilliseconds);
  bool allBound = false;
  bool firstBindTried = false;
  auto nextBind = Clock::now();
  while (registry->running.load()) {
    try {
      JoinFinishedThreads(*registry);
      if (!allBound && Clock::now() >= nextBind) {
        nextBind = Clock::now() + retryPause;
        try {
          allBound = BindListeners(*registry, defaultPort);
        } catch (...) {
        }
        if (!firstBindTried) NoteFirstBindTried(*registry);
        firstBindTried = true;
      }
      if (!registry->listeners.Any()) {
        WaitBeforeRetry(*registry, retryPause);
        continue;
      }
      // While a bind is missing, every wait ends at its next try; else there is no time-out:
      // Stop shuts the listeners down, which ends the wait, so an idle server does not wake.
      const std::optional<Clock::time_point> wakeBy =
          allBound ? std::nullopt : std::optional<Clock::time_point>(nextBind);
      if (!ListenerIsOurs(registry, wakeBy)) continue;
      const auto untilRetry =
          std::chrono::ceil<std::chrono::milliseconds>(nextBind - Clock::now()).count();
      platform::Socket listener = platform::kNoSocket;
      const platform::WaitResult wait = registry->listeners.Wait(
          allBound ? platform::kWaitForever : static_cast<int>(std::max<long long>(untilRetry, 0)),
          listener);
      if (wait != platform::WaitResult::Ready) {
        if (wait == platform::WaitResult::Failed)
          WaitBeforeRetry(*registry, std::chrono::milliseconds(server::kAcceptBackoffMilliseconds));
        continue;
      }
      if (ConnectionThreadAccepts(*registry)) continue;
      std::optional<platform::Ipv4Address> peer;
      const platform::Socket accepted = platform::Accept(listener, &peer);
      if (accepted == platform::kNoSocket) {
        // For example out of descriptors: the pending connection stays readable, so a
        // retry at once would spin.
        WaitBeforeRetry(*registry, std::chrono::milliseconds(server::kAcceptBackoffMilliseconds));
        continue;
      }
      AdmitConnection(registry, accepted, peer);
    } catch (...) {
      // Nothing may leave the thread; the loop goes on while the server runs.
    }
  }
}

} // namespace

Server::Server(std::uint16_t port) : port_(port), registry_(std::make_shared<Registry>()) {}

Server::~Server() { Stop(); }

const std::atomic<bool>& Server::Running() const noexcept { return registry_->running; }

bool Server::Listening() const noexcept { return registry_->listeners.Any(); }

std::optional<ListenEndpoint> Server::ListeningOn() const {
  return registry_->listeners.Reported();
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
  registry_->listeners.Reopen();
  {
    const std::lock_guard<std::mutex> lock(registry_->clientLock);
    registry_->firstBindTried = false;
  }
  registry_->running.store(true);
  try {
    acceptThread_ =
        std::thread([registry = registry_, port = port_] { AcceptLoop(registry, port); });
  } catch (...) {
    // The system refused a thread: end fully stopped, nothing running.
    registry_->running.store(false);
    return;
  }
  // The first binds are waited for (a short while at most), so that a client may connect as
  // soon as Start returns.
  std::unique_lock<std::mutex> lock(registry_->clientLock);
  registry_->stopRequested.wait_for(lock,
                                    std::chrono::milliseconds(server::kFirstBindWaitMilliseconds),
                                    [&] { return registry_->firstBindTried; });
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

  // The listeners are shut down first (which wakes the accept thread and every connection
  // thread waiting in accept) and closed only after every thread has gone, so their numbers
  // cannot be reused under a running accept.
  std::thread acceptThread;
  {
    const std::lock_guard<std::mutex> guard(acceptThreadLock_);
    acceptThread.swap(acceptThread_);
  }
  registry.listeners.ShutDown();
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
  registry.listeners.Close();
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

bool Server::Pause(std::chrono::milliseconds pause) {
  std::unique_lock<std::mutex> lock(registry_->clientLock);
  return !registry_->stopRequested.wait_for(lock, pause,
                                            [&] { return !registry_->running.load(); });
}

bool Server::WaitToJudge(platform::Ipv4Address peer) {
  const auto wait =
      registry_->failedAuthentications.BeginJudging(peer, FailedAuthentications::Clock::now());
  return Pause(std::chrono::ceil<std::chrono::milliseconds>(wait));
}

void Server::NoteAuthentication(platform::Ipv4Address peer, bool succeeded) {
  if (succeeded)
    registry_->failedAuthentications.Succeeded(peer);
  else
    registry_->failedAuthentications.Failed(peer, FailedAuthentications::Clock::now());
}

std::int32_t Server::ConnectionCount() const noexcept { return registry_->clientCount.load(); }

std::int32_t Server::SubscriberCount() const noexcept { return registry_->subscriberCount.load(); }

} // namespace ZYL
