#include "Stats.h"

#include <algorithm>

namespace zylbench {

namespace {

double Quantile(const std::vector<double>& sorted, double q) {
  const auto index = static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

} // namespace

Percentiles Summarize(std::vector<double> nanoseconds) {
  if (nanoseconds.empty()) return {};
  std::sort(nanoseconds.begin(), nanoseconds.end());
  return {Quantile(nanoseconds, 0.50) / 1000.0, Quantile(nanoseconds, 0.99) / 1000.0};
}

} // namespace zylbench
