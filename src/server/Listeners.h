// The server's listening sockets: loopback's, and the one address the settings name beside
// it. Bound and waited on by the accept thread (connection threads also accept on a sole
// listener); a stop may shut them down from any thread, which ends every wait on them.
#pragma once

#include "platform/Platform.h"
#include "server/ListenPlan.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ZYL {

class Listeners {
public:
  Listeners() = default;
  ~Listeners();
  Listeners(const Listeners&) = delete;
  Listeners& operator=(const Listeners&) = delete;

  // Binds the endpoints of `plan` that are not bound yet and closes those it no longer
  // names. Writes the plan's diagnostic when it differs from the last one written, and
  // names each endpoint that cannot be bound once, until it was bound. True when every
  // endpoint is bound. After ShutDown, binds nothing until Reopen.
  bool Bind(const ListenPlan& plan);

  // Waits for a pending connection on any listener; `ready` is then that listener. Fails at
  // once when none is bound.
  platform::WaitResult Wait(int timeoutMilliseconds, platform::Socket& ready) const;

  // Shuts every listener down (a stop, from any thread), which ends a Wait.
  void ShutDown() noexcept;
  // Closes every listener; for the accept thread's owner once the thread has ended.
  void Close() noexcept;
  // Lets Bind work again after a stop (a new start).
  void Reopen() noexcept;

  bool Any() const noexcept;
  // The listener when exactly one is bound (and not shut down), else kNoSocket. Connection
  // threads wait in accept on a sole listener only: beside a second one, the accept thread
  // watches both.
  platform::Socket Sole() const noexcept;
  // The endpoint a network peer reaches when one is bound, else loopback's; nothing while
  // none is bound.
  std::optional<ListenEndpoint> Reported() const;

private:
  struct Bound {
    ListenEndpoint endpoint;
    platform::Socket socket = platform::kNoSocket;
  };

  mutable std::mutex lock_; // guards everything below
  std::vector<Bound> bound_;
  std::vector<ListenEndpoint> warned_; // failed binds already named
  std::string lastDiagnostic_;
  bool shutDown_ = false;
};

} // namespace ZYL
