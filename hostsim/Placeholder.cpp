// Temporary: lets the tree link until the simulator lands. Delete when replaced.
#include "Simulator.h"

namespace zylsim {
nlohmann::json LoadProjectFile(const std::string&) { throw ProjectError("not built yet"); }
nlohmann::json DemoProject() { return nlohmann::json::object(); }
struct Simulator::Impl {};
Simulator::Simulator(const nlohmann::json&, OutputSink) {}
Simulator::~Simulator() = default;
const hostsdk::BasicSuite* Simulator::BasicSuite() const { return nullptr; }
bool Simulator::LoadModule(const std::string&, std::string*) { return false; }
bool Simulator::Start() { return false; }
bool Simulator::Shutdown() { return false; }
bool Simulator::Execute(const std::string&) { return false; }
void Simulator::StartDemo() {}
void Simulator::StopDemo() {}
nlohmann::json Simulator::LedgerJson() const { return {}; }
bool Simulator::LedgerBalanced() const { return false; }
} // namespace zylsim
