#include "HostSuites.h"
#include "SimulatorImpl.h"

namespace zylsim {

Simulator::Simulator(const nlohmann::json& project, OutputSink output)
    : impl_(std::make_unique<Impl>(project, std::move(output))) {
  ActivateHost(&impl_->host);
}

Simulator::~Simulator() {
  StopDemo();
  {
    // a module still running is shut down, but only Shutdown() prints the ledger
    std::lock_guard<std::mutex> lock(impl_->lifecycle);
    impl_->session.Shutdown();
  }
  DeactivateHost(&impl_->host);
}

const hostsdk::BasicSuite* Simulator::BasicSuite() const { return &BasicSuiteTable(); }

bool Simulator::LoadModule(const std::string& path, std::string* error) {
  return impl_->loader.Load(path, error);
}

bool Simulator::Start() {
  std::string error;
  return StartModule(&error);
}

bool Simulator::StartModule(std::string* error) {
  std::lock_guard<std::mutex> lock(impl_->lifecycle);
  if (impl_->loader.EntryPoint() == nullptr) {
    *error = "no module is loaded";
    return false;
  }
  if (impl_->started) {
    *error = "the module is started already";
    return false;
  }
  impl_->started = true;
  if (!impl_->session.Start(impl_->loader.EntryPoint(), error)) return false;
  impl_->host.Print({{"event", "ready"}});
  return true;
}

bool Simulator::Shutdown() {
  StopDemo();
  std::lock_guard<std::mutex> lock(impl_->lifecycle);
  if (impl_->shutDownBalanced) return *impl_->shutDownBalanced;
  impl_->session.Shutdown();
  const nlohmann::ordered_json ledger = impl_->host.ledger.Json();
  impl_->host.Print(ledger);
  impl_->shutDownBalanced = ledger.at("balanced").get<bool>();
  return *impl_->shutDownBalanced;
}

void Simulator::StartDemo() { impl_->demo.Start(); }
void Simulator::StopDemo() { impl_->demo.Stop(); }

nlohmann::json Simulator::LedgerJson() const {
  return nlohmann::json::parse(impl_->host.ledger.Json().dump());
}
bool Simulator::LedgerBalanced() const { return impl_->host.ledger.Balanced(); }

} // namespace zylsim
