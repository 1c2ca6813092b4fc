// The listening socket, one thread per connection, and the registry of connected and
// subscribed clients. The server owns every thread it starts and joins them all when it
// stops, so no server thread runs once Stop has returned (unless Stop was called from one
// of them, which then ends on its own without touching anything but the registry).
#pragma once

#include "platform/Platform.h"
#include "server/ListenPlan.h"
#include "server/ServerLimits.h"
#include "server/StatusPage.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace ZYL {

class ClientConnection;
class MessageHandler;
class ReplySink;

class Server {
public:
  explicit Server(std::uint16_t port = server::kPort);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Starts the accept thread, which reads where to listen from the settings file and binds
  // (127.0.0.1 on the server's port unless the file says otherwise); messages go to
  // `handler`, which must outlive the server's run; `facts` fill the status page. Returns once the
  // first binds were tried, or after server::kFirstBindWaitMilliseconds. When an address cannot be
  // bound (a port held by someone else, an address this machine does not have), one diagnostic line
  // says so, and the bind is retried every 2 seconds, the settings read anew each time, until it
  // succeeds or the server stops; the listeners already bound serve meanwhile. Does nothing
  // while running.
  void Start(MessageHandler& handler, StatusFacts facts = {});

  // Safe from any thread, connection threads included, and more than once: shuts every
  // connection down and joins every thread it started except the caller's own.
  void Stop() noexcept;

  // True from Start until Stop begins; long work checks it to end early.
  const std::atomic<bool>& Running() const noexcept;

  // Marks a connection that passed the handshake as subscribed to pushes. False for any
  // other sink, and for one already subscribed.
  bool Subscribe(const ReplySink& client);

  // Called after each new subscription (from the subscribing thread), so that a pushing
  // thread that sleeps while nobody listens can wake. Must not throw.
  void SetSubscribeListener(std::function<void()> listener);

  // The subscribed connections, each held so that its socket stays open while the caller
  // writes to it without the registry's lock.
  std::vector<std::shared_ptr<ClientConnection>> Subscribers() const;

  // How many subscribers there are now; cheap, so that hot paths can skip work for nobody.
  std::int32_t SubscriberCount() const noexcept;

  // How many connection threads hold a place, in the handshake or after it.
  std::int32_t ConnectionCount() const noexcept;

  // Whether a listener is bound (it may still be waiting for a held port).
  bool Listening() const noexcept;
  // The address and port a network peer reaches, or loopback's when no other is bound;
  // nothing while no listener is bound.
  std::optional<ListenEndpoint> ListeningOn() const;

  // Waits `pause` unless the server stops first; false when it did.
  bool Pause(std::chrono::milliseconds pause);
  // For an identify from network peer `peer`: waits as long as its address's failed
  // authentications ask before the identify is judged. False when a stop ended the wait.
  bool WaitToJudge(platform::Ipv4Address peer);
  // Counts the outcome of a network peer's authentication.
  void NoteAuthentication(platform::Ipv4Address peer, bool succeeded);

  struct Registry;

private:
  const std::uint16_t port_;
  std::shared_ptr<Registry> registry_;
  std::mutex acceptThreadLock_; // guards acceptThread_ between concurrent Start and Stop
  std::thread acceptThread_;
  std::mutex subscribeListenerLock_; // guards subscribeListener_
  std::function<void()> subscribeListener_;
};

} // namespace ZYL
