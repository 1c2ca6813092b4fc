#include "HostState.h"

#include <atomic>

namespace zylsim {

namespace {
std::atomic<HostState*> activeHost{nullptr};
} // namespace

HostState::HostState(nlohmann::json project, OutputSink output)
    : store(std::move(project)), output_(std::move(output)) {}

void HostState::Print(const nlohmann::ordered_json& line) {
  // texts from the engine or stdin may be malformed UTF-8; the line must still go out
  const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::lock_guard<std::mutex> lock(outputMutex_);
  if (output_) output_(text);
}

hostsdk::HostObject HostState::Object(HostObjectKind kind) noexcept {
  return &objects_[static_cast<std::size_t>(kind)];
}

bool HostState::IsObject(hostsdk::HostObject object, HostObjectKind kind) noexcept {
  return object == Object(kind);
}

HostState* ActiveHost() noexcept { return activeHost.load(std::memory_order_acquire); }

void ActivateHost(HostState* host) noexcept { activeHost.store(host, std::memory_order_release); }

void DeactivateHost(HostState* host) noexcept {
  HostState* expected = host;
  activeHost.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

} // namespace zylsim
