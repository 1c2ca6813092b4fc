// Turning samples into the figures the table prints.
#pragma once

#include <chrono>
#include <vector>

namespace zylbench {

using Clock = std::chrono::steady_clock;

struct Percentiles {
  double p50 = 0; // microseconds
  double p99 = 0;
};

// p50 and p99 of durations given in nanoseconds, in microseconds; zeros when empty.
Percentiles Summarize(std::vector<double> nanoseconds);

inline double NanosecondsBetween(Clock::time_point from, Clock::time_point to) {
  return static_cast<double>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count());
}

} // namespace zylbench
