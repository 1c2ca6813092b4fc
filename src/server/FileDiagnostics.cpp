#include "server/FileDiagnostics.h"

#include "server/DiagnosticLog.h"
#include "server/OriginPolicy.h"
#include "server/UserFileReader.h"

#include <functional>
#include <mutex>
#include <optional>
#include <sstream>

namespace ZYL {

void NoteSettingsOutcome(const SettingsResult& result) noexcept {
  static std::mutex lock;
  static std::optional<std::string> lastProblem;
  try {
    const auto* broken = std::get_if<SettingsError>(&result);
    {
      const std::lock_guard<std::mutex> guard(lock);
      if (!broken) {
        lastProblem.reset();
        return;
      }
      if (lastProblem == broken->problem) return;
      lastProblem = broken->problem;
    }
    WriteEngineDiagnostic("ZYL Engine: " + broken->problem +
                          "; every connection is refused (HTTP 500) until it is mended");
  } catch (...) {
  }
}

void NoteUnmatchableAllowListEntries(const std::string& path) noexcept {
  static std::mutex lock;
  static std::optional<std::size_t> lastSeen; // a hash of the contents last looked at
  try {
    if (path.empty()) return;
    // Through the reader thread, like every read of the user's files: a file that is no
    // regular file, or one the system holds up, must not hold up this handshake.
    const platform::FileRead file = ReadUserFile(path);
    if (file.status != platform::FileRead::Status::Read) return;
    const std::size_t contents = std::hash<std::string>{}(file.bytes);
    {
      const std::lock_guard<std::mutex> guard(lock);
      if (contents == lastSeen) return;
      lastSeen = contents;
    }
    std::istringstream lines(file.bytes);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
      const std::string problem = UnmatchableEntryProblem(line);
      if (!problem.empty())
        WriteEngineDiagnostic("ZYL Engine: origins.txt line " + std::to_string(number) +
                              " never matches (" + problem + "): " + TrimSpace(line));
    }
  } catch (...) {
  }
}

} // namespace ZYL
