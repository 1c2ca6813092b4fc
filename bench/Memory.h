// Resident size of the simulator process (engine inside) as clients come and work. The
// simulator runs as a child process and the clients here, so the clients' memory is not
// counted.
#pragma once

#include <cstdint>

namespace zylbench {

struct MemoryFigures {
  bool measured = false;
  long idleKiB = 0;        // engine started, no client
  long idleClientsKiB = 0; // with the idle connections upgraded
  long busyClientsKiB = 0; // highest reading while every connection sends requests
};

// VmRSS of process `pid` in KiB, 0 when it cannot be read.
long ResidentKiB(long pid);

// Starts `hostsimPath`, then measures with `connections` connections.
MemoryFigures MeasureMemory(const char* hostsimPath, std::uint16_t port, int connections);

} // namespace zylbench
