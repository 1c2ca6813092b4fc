// The engine's control-surface object attached to an in-process simulated host, for tests
// that call the engine's operations directly (no module, no sockets needed).
#pragma once

#include "Simulator.h"
#include "plugin/ZYLEngineControlSurface.h"
#include "server/ReplySink.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zyltest {

// Collects the replies of a command instead of framing them onto a socket.
class CaptureSink final : public ZYL::ReplySink {
public:
  explicit CaptureSink(int socket = -1) : socket_(socket) {}
  void Send(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.emplace_back(text);
  }
  int Socket() const noexcept override { return socket_; }
  std::vector<std::string> Replies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return replies_;
  }

private:
  int socket_;
  mutable std::mutex mutex_;
  std::vector<std::string> replies_;
};

class InProcessEngine {
public:
  // Builds the simulator from `project` and attaches a new surface to it (which also
  // starts the server on 127.0.0.1:7890).
  explicit InProcessEngine(const nlohmann::json& project);
  // Detaches and destroys the surface.
  ~InProcessEngine();

  zylsim::Simulator& sim() { return sim_; }
  ZYL::ZYLEngineControlSurface& surface() { return *surface_; }
  std::vector<std::string> Output() const;

  // Runs one command through the dispatcher and returns its replies.
  std::vector<std::string> Dispatch(std::string_view text);
  // The single reply of a command that must answer exactly once ("" and a test failure
  // otherwise).
  std::string DispatchOne(std::string_view text);

  // Detaches and destroys the surface now; afterwards the ledger can be checked.
  void Detach();

private:
  mutable std::mutex outputLock_;
  std::vector<std::string> output_;
  zylsim::Simulator sim_;
  std::unique_ptr<ZYL::ZYLEngineControlSurface> surface_;
};

// Detaches the surface and expects every suite, string and handle to have been given back.
void ExpectLedgerBalancedAfterDetach(InProcessEngine& engine);

} // namespace zyltest
