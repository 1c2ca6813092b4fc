// The listening socket, one thread per connection, and the registry of connected and
// subscribed clients. The server owns every thread it starts and joins them all when it
// stops, so no server thread runs once Stop has returned (unless Stop was called from one
// of them, which then ends on its own without touching anything but the registry).
#pragma once

#include "platform/Platform.h"
#include "server/ServerLimits.h"
#include "server/StatusPage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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

  // Opens the listener and starts the accept thread; messages go to `handler`, which must
  // outlive the server's run; `facts` fill the status page. When the port is held by someone
  // else, one diagnostic line says so and the bind is retried every 2 seconds until it
  // succeeds or the server stops. Does nothing while running.
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

  // Whether the listener is bound (it may still be waiting for a held port).
  bool Listening() const noexcept;

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
