// What the test process holds and spends right now. The engine runs inside the test process,
// so these show whether connections leave descriptors or threads behind and whether an idle
// server burns CPU.
#pragma once

#include <chrono>
#include <string>

namespace zyltest {

// Open file descriptors of this process (Linux: the entries of /proc/self/fd; Windows: its
// kernel handles).
int OpenDescriptorCount();
// Threads of this process (Linux: the entries of /proc/self/task).
int ThreadCount();
// User plus system CPU time that all threads of this process have used so far. Needs no
// descriptor, so it also works while the process has none left.
std::chrono::microseconds ProcessCpuTime();
// The resident size in KiB of `process` (a process id, or "self"), as /proc/<process>/status
// gives VmRSS; 0 where it cannot be read (and on Windows).
long ResidentKiB(const std::string& process = "self");

} // namespace zyltest
