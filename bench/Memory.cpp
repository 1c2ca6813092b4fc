#include "Memory.h"

#include "BenchClient.h"
#include "ChildProcess.h"
#include "EngineHost.h"
#include "Measures.h"
#include "Stats.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <unistd.h>

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

namespace {

constexpr int kBurstCommands = 20000;
constexpr int kBurstRequestsEach = 4;
// Connection threads end this long after their client (2 s), with room to spare.
constexpr auto kThreadsEnd = std::chrono::milliseconds(3000);

std::string WriteBurstProject() {
  nlohmann::json commands = nlohmann::json::array();
  for (int i = 0; i < kBurstCommands; ++i) {
    const std::string n = std::to_string(i);
    commands.push_back({"cmd." + n, "Category " + n, "A command of the burst, number " + n,
                        "What command " + n + " does, told at some length for the list"});
  }
  const std::string path = "/tmp/zyl-bench-burst-" + std::to_string(::getpid()) + ".json";
  std::ofstream(path) << nlohmann::json{{"commands", commands}}.dump();
  return path;
}

bool FetchCommandLists(std::uint16_t port, int requests) {
  BenchClient client;
  if (!client.OpenJson(port)) return false;
  const std::string request =
      MaskedTextFrame(R"({"op":"request","id":1,"method":"commands.list"})");
  for (int i = 0; i < requests; ++i)
    if (!client.RoundTrip(request, 1)) return false;
  return true;
}

} // namespace

BurstFigures MeasureMemoryAfterBurst(const char* hostsimPath, std::uint16_t port, int connections) {
  BurstFigures figures;
  const std::string project = WriteBurstProject();
  ChildProcess hostsim({hostsimPath, "--project", project});
  if (!hostsim.Running() || !hostsim.WaitForLine("\"ready\"", 10000) ||
      !WaitForServer(port, 5000) || !FetchCommandLists(port, 1)) {
    std::remove(project.c_str());
    return figures;
  }
  std::this_thread::sleep_for(kThreadsEnd);
  figures.idleKiB = ResidentKiB(hostsim.Pid());

  std::atomic<bool> busy{true};
  std::thread watcher([&] {
    while (busy.load()) {
      figures.peakKiB = std::max(figures.peakKiB, ResidentKiB(hostsim.Pid()));
      std::this_thread::sleep_for(kReadingInterval);
    }
  });
  std::atomic<int> failed{0};
  RunOnThreads(connections, [&](int) {
    if (!FetchCommandLists(port, kBurstRequestsEach)) ++failed;
  });
  busy.store(false);
  watcher.join();
  std::this_thread::sleep_for(kThreadsEnd);
  figures.afterKiB = ResidentKiB(hostsim.Pid());
  std::remove(project.c_str());
  figures.measured = failed.load() == 0 && figures.idleKiB > 0;
  return figures;
}

} // namespace zylbench
