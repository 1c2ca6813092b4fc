#include "Table.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace zylbench {

void Table::Add(std::string measure, std::string server, std::string figure) {
  rows_.push_back({std::move(measure), std::move(server), std::move(figure)});
}

void Table::Print() const {
  std::size_t widths[3] = {7, 6, 6};
  for (const Row& row : rows_) {
    widths[0] = std::max(widths[0], row.measure.size());
    widths[1] = std::max(widths[1], row.server.size());
    widths[2] = std::max(widths[2], row.figure.size());
  }
  const auto line = [&](const std::string& a, const std::string& b, const std::string& c) {
    std::printf("| %-*s | %-*s | %-*s |\n", static_cast<int>(widths[0]), a.c_str(),
                static_cast<int>(widths[1]), b.c_str(), static_cast<int>(widths[2]), c.c_str());
  };
  line("measure", "server", "figure");
  line(std::string(widths[0], '-'), std::string(widths[1], '-'), std::string(widths[2], '-'));
  for (const Row& row : rows_)
    line(row.measure, row.server, row.figure);
  std::fflush(stdout);
}

std::string Format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

} // namespace zylbench
