#include "EngineHost.h"

#include "BenchSocket.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace zylbench {

nlohmann::json BenchProject() {
  nlohmann::json project = zylsim::DemoProject();
  nlohmann::json& commands = project["commands"];
  for (int i = static_cast<int>(commands.size()); i < kHostCommands; ++i) {
    const std::string n = std::to_string(i);
    commands.push_back({"cmd.bench.command" + n, "Bench Command " + n, "Bench",
                        "A host command that only fills the list"});
  }
  return project;
}

EngineHost::EngineHost() : sim_(BenchProject(), [](const std::string&) {}) {
  std::string error;
  if (!sim_.LoadModule(ZYL_BENCH_MODULE_PATH, &error) || !sim_.StartModule(&error)) {
    std::fprintf(stderr, "zyl-bench: the engine did not start: %s\n", error.c_str());
    return;
  }
  started_ = WaitForServer(kEnginePort, 5000);
}

EngineHost::~EngineHost() { sim_.Shutdown(); }

bool WaitForServer(std::uint16_t port, int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    const int probe = ConnectLoopback(port);
    if (probe >= 0) {
      CloseSocket(probe);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

} // namespace zylbench
