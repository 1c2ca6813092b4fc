// What the simulator spends while nothing happens: connections open, nobody subscribed,
// no request, no notification.
#pragma once

#include <cstdint>

namespace zylbench {

struct IdleCpuFigures {
  bool measured = false;
  double totalMilliseconds = 0;      // every thread of the process
  double mainThreadMilliseconds = 0; // the simulator's own main thread
  int threads = 0;
};

// Starts the simulator at `hostsimPath`, opens `connections` connections to it, lets it
// settle, then adds up the CPU time of all its threads over `seconds`.
IdleCpuFigures MeasureIdleCpu(const char* hostsimPath, std::uint16_t port, int connections,
                              int seconds);

} // namespace zylbench
