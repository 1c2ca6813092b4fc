// The one table a bench run prints: a row per figure, grouped by what was measured.
#pragma once

#include <string>
#include <vector>

namespace zylbench {

class Table {
public:
  void Add(std::string measure, std::string server, std::string figure);
  // Prints the rows as a Markdown table on standard output.
  void Print() const;

private:
  struct Row {
    std::string measure;
    std::string server;
    std::string figure;
  };
  std::vector<Row> rows_;
};

// printf-style formatting into a string, for the figures.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace zylbench
