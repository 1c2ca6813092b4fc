#include "ProcessResources.h"

#include <cstdint>

#ifdef _WIN32

// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

namespace zyltest {

// Windows has no descriptors: the process's kernel handles (sockets among them) are what a
// connection leaves behind.
int OpenDescriptorCount() {
  DWORD handles = 0;
  return ::GetProcessHandleCount(::GetCurrentProcess(), &handles) ? static_cast<int>(handles) : -1;
}

int ThreadCount() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  const DWORD self = ::GetCurrentProcessId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == self) ++count;
  ::CloseHandle(snapshot);
  return count;
}

std::chrono::microseconds ProcessCpuTime() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return {};
  // Both are counts of 100-nanosecond ticks.
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return std::chrono::microseconds((ticks(kernel) + ticks(user)) / 10);
}

long ResidentKiB(const std::string&) { return 0; }

} // namespace zyltest

#else

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <system_error>

namespace zyltest {

namespace {

// -1 when the directory cannot be listed.
int CountEntries(const char* directory) {
  std::error_code error;
  std::filesystem::directory_iterator entry(directory, error);
  if (error) return -1;
  int count = 0;
  for (; entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    if (error) return -1;
    ++count;
  }
  return count;
}

std::chrono::microseconds ToMicroseconds(const timeval& time) {
  return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

} // namespace

int OpenDescriptorCount() {
  const int entries = CountEntries("/proc/self/fd");
  // The listing holds one descriptor of its own while it runs.
  return entries < 0 ? -1 : entries - 1;
}

int ThreadCount() { return CountEntries("/proc/self/task"); }

std::chrono::microseconds ProcessCpuTime() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return ToMicroseconds(usage.ru_utime) + ToMicroseconds(usage.ru_stime);
}

long ResidentKiB(const std::string& process) {
  std::ifstream status("/proc/" + process + "/status");
  for (std::string key; status >> key;) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
  }
  return 0;
}

} // namespace zyltest

#endif
