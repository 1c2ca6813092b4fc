#include "IdleCpu.h"

#include "BenchClient.h"
#include "ChildProcess.h"
#include "EngineHost.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zylbench {

namespace {

constexpr auto kSettle = std::chrono::seconds(2);

// Nanoseconds thread `task` of `pid` has run, from the scheduler's own account (finer than
// the clock ticks of /proc/<pid>/stat, which would round an idle minute to nothing).
double TaskRunNanoseconds(long pid, const std::string& task) {
  std::ifstream schedstat("/proc/" + std::to_string(pid) + "/task/" + task + "/schedstat");
  double nanoseconds = 0;
  schedstat >> nanoseconds;
  return nanoseconds;
}

struct CpuReading {
  double total = 0;
  double main = 0;
  int threads = 0;
};

CpuReading ReadCpu(long pid) {
  CpuReading reading;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    const std::string task = entry.path().filename().string();
    const double ran = TaskRunNanoseconds(pid, task);
    reading.total += ran;
    if (task == std::to_string(pid)) reading.main = ran;
    ++reading.threads;
  }
  return reading;
}

} // namespace

IdleCpuFigures MeasureIdleCpu(const char* hostsimPath, std::uint16_t port, int connections,
                              int seconds) {
  IdleCpuFigures figures;
  ChildProcess hostsim({hostsimPath});
  if (!hostsim.Running() || !hostsim.WaitForLine("\"ready\"", 10000) || !WaitForServer(port, 5000))
    return figures;
  std::vector<std::unique_ptr<BenchClient>> clients;
  for (int i = 0; i < connections; ++i) {
    clients.push_back(std::make_unique<BenchClient>());
    if (!clients.back()->Open(port)) return figures;
  }
  std::this_thread::sleep_for(kSettle);
  const CpuReading before = ReadCpu(hostsim.Pid());
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const CpuReading after = ReadCpu(hostsim.Pid());
  figures.totalMilliseconds = (after.total - before.total) / 1e6;
  figures.mainThreadMilliseconds = (after.main - before.main) / 1e6;
  figures.threads = after.threads;
  figures.measured = before.threads > 0 && after.threads == before.threads;
  return figures;
}

} // namespace zylbench
