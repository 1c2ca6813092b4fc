#include "server/Listeners.h"

#include "server/DiagnosticLog.h"
#include "server/ServerLimits.h"

#include <algorithm>

namespace ZYL {

namespace {

bool Names(const std::vector<ListenEndpoint>& endpoints, const ListenEndpoint& endpoint) {
  return std::find(endpoints.begin(), endpoints.end(), endpoint) != endpoints.end();
}

} // namespace

Listeners::~Listeners() { Close(); }

bool Listeners::Bind(const ListenPlan& plan) {
  const std::lock_guard<std::mutex> guard(lock_);
  if (shutDown_) return false;
  if (!plan.diagnostic.empty() && plan.diagnostic != lastDiagnostic_)
    WriteEngineDiagnostic(plan.diagnostic);
  lastDiagnostic_ = plan.diagnostic;
  std::erase_if(bound_, [&](const Bound& bound) {
    if (Names(plan.endpoints, bound.endpoint)) return false;
    platform::CloseSocket(bound.socket);
    return true;
  });
  bool complete = true;
  for (const ListenEndpoint& endpoint : plan.endpoints) {
    const bool isBound = std::any_of(bound_.begin(), bound_.end(), [&](const Bound& bound) {
      return bound.endpoint == endpoint;
    });
    if (isBound) continue;
    std::string failure;
    const platform::Socket socket =
        platform::OpenListener(endpoint.address, endpoint.port, server::kListenBacklog, &failure);
    if (socket == platform::kNoSocket) {
      // Said once: a held port otherwise leaves an engine that looks loaded and serves
      // nobody, and a line every 2 s would bury everything else.
      if (!Names(warned_, endpoint)) {
        WriteEngineDiagnostic("ZYL Engine: cannot listen on " + EndpointText(endpoint) + " (" +
                              failure + "); retrying every 2 s");
        warned_.push_back(endpoint);
      }
      complete = false;
      continue;
    }
    std::erase(warned_, endpoint);
    try {
      bound_.push_back({endpoint, socket});
    } catch (...) {
      platform::CloseSocket(socket);
      throw;
    }
  }
  return complete;
}

platform::WaitResult Listeners::Wait(int timeoutMilliseconds, platform::Socket& ready) const {
  std::vector<platform::Socket> sockets;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    for (const Bound& bound : bound_)
      sockets.push_back(bound.socket);
  }
  // Sockets are closed only by this thread (Bind) or once it has ended (Close), so the
  // numbers stay valid through the wait; a stop shuts them down, which ends it.
  std::size_t index = 0;
  const platform::WaitResult result =
      platform::WaitReadableAny(sockets, timeoutMilliseconds, index);
  if (result == platform::WaitResult::Ready) ready = sockets[index];
  return result;
}

void Listeners::ShutDown() noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  shutDown_ = true;
  for (const Bound& bound : bound_)
    platform::ShutdownBoth(bound.socket);
}

void Listeners::Close() noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  for (const Bound& bound : bound_)
    platform::CloseSocket(bound.socket);
  bound_.clear();
  warned_.clear();
  lastDiagnostic_.clear();
}

void Listeners::Reopen() noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  shutDown_ = false;
}

platform::Socket Listeners::Sole() const noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  return bound_.size() == 1 && !shutDown_ ? bound_.front().socket : platform::kNoSocket;
}

bool Listeners::Any() const noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  return !bound_.empty();
}

std::optional<ListenEndpoint> Listeners::Reported() const {
  const std::lock_guard<std::mutex> guard(lock_);
  for (const Bound& bound : bound_)
    if (bound.endpoint.address != platform::kLoopbackAddress) return bound.endpoint;
  if (bound_.empty()) return std::nullopt;
  return bound_.front().endpoint;
}

} // namespace ZYL
