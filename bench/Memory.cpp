#include "Memory.h"

#include "BenchClient.h"
#include "ChildProcess.h"
#include "EngineHost.h"
#include "Measures.h"
#include "Stats.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace zylbench {

namespace {

constexpr auto kSettle = std::chrono::milliseconds(500);
constexpr auto kBusyPeriod = std::chrono::milliseconds(1500);
constexpr auto kReadingInterval = std::chrono::milliseconds(50);

} // namespace

long ResidentKiB(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

MemoryFigures MeasureMemory(const char* hostsimPath, std::uint16_t port, int connections) {
  MemoryFigures figures;
  ChildProcess hostsim({hostsimPath});
  if (!hostsim.Running() || !hostsim.WaitForLine("\"ready\"", 10000) || !WaitForServer(port, 5000))
    return figures;
  std::this_thread::sleep_for(kSettle);
  figures.idleKiB = ResidentKiB(hostsim.Pid());

  std::vector<std::unique_ptr<BenchClient>> clients;
  for (int i = 0; i < connections; ++i) {
    clients.push_back(std::make_unique<BenchClient>());
    if (!clients.back()->Open(port)) return figures;
  }
  std::this_thread::sleep_for(kSettle);
  figures.idleClientsKiB = ResidentKiB(hostsim.Pid());

  const Request request{MaskedTextFrame("get.version"), 1};
  std::atomic<bool> busy{true};
  std::thread watcher([&] {
    while (busy.load()) {
      figures.busyClientsKiB = std::max(figures.busyClientsKiB, ResidentKiB(hostsim.Pid()));
      std::this_thread::sleep_for(kReadingInterval);
    }
  });
  const Clock::time_point end = Clock::now() + kBusyPeriod;
  RunOnThreads(connections, [&](int index) {
    BenchClient& client = *clients[static_cast<std::size_t>(index)];
    while (Clock::now() < end && client.RoundTrip(request.frame, request.replies)) {
    }
  });
  busy.store(false);
  watcher.join();
  clients.clear();
  figures.measured = figures.idleKiB > 0;
  return figures;
}

} // namespace zylbench
