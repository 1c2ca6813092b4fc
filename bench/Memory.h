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

struct BurstFigures {
  bool measured = false;
  long idleKiB = 0;  // engine started, one large reply served, no client
  long peakKiB = 0;  // highest reading during the burst
  long afterKiB = 0; // no client again, the connection threads ended
};

// Starts `hostsimPath` with a project of 20,000 host commands, then `connections`
// protocol-2 connections at once each ask for the whole command list (a reply of about
// 2.5 MB) four times and close.
BurstFigures MeasureMemoryAfterBurst(const char* hostsimPath, std::uint16_t port, int connections);

} // namespace zylbench
