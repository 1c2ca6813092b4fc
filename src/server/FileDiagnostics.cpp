#include "server/FileDiagnostics.h"

#include "server/DiagnosticLog.h"
#include "server/OriginPolicy.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>

namespace ZYL {

namespace {

// An allow-list file larger than this is not read for diagnostics.
constexpr std::uintmax_t kMaxAllowListBytes = 1024 * 1024;

struct FileStamp {
  std::string path;
  std::filesystem::file_time_type modified;
  std::uintmax_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of a regular file at `path`; nothing for any other kind of file or none.
std::optional<FileStamp> StampOf(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  FileStamp stamp{path, std::filesystem::last_write_time(path, error),
                  std::filesystem::file_size(path, error)};
  if (error) return std::nullopt;
  return stamp;
}

} // namespace

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
  static std::optional<FileStamp> lastSeen;
  try {
    if (path.empty()) return;
    const std::optional<FileStamp> stamp = StampOf(path);
    {
      const std::lock_guard<std::mutex> guard(lock);
      if (stamp == lastSeen) return;
      lastSeen = stamp;
    }
    if (!stamp || stamp->size > kMaxAllowListBytes) return;
    std::ifstream file(path, std::ios::binary);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
      const std::string problem = UnmatchableEntryProblem(line);
      if (!problem.empty())
        WriteEngineDiagnostic("ZYL Engine: origins.txt line " + std::to_string(number) +
                              " never matches (" + problem + "): " + TrimSpace(line));
    }
  } catch (...) {
  }
}

} // namespace ZYL
