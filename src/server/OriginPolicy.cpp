#include "server/OriginPolicy.h"

#include "platform/Platform.h"
#include "server/UserFileReader.h"

#include <sstream>

namespace ZYL {

namespace {

constexpr std::string_view kSpaceCharacters = " \t\r\n";
constexpr std::string_view kSchemeSeparator = "://";

char AsciiLower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// One line of the allow-list file as the user wrote its entry: comment cut, trimmed,
// lower-cased; "" when the line holds none.
std::string WrittenEntry(std::string_view line) {
  if (const std::size_t comment = line.find('#'); comment != std::string_view::npos)
    line = line.substr(0, comment);
  return AsciiLowered(TrimSpace(line));
}

// One line of the allow-list file as an entry to match; "" when the line holds none.
std::string AllowListEntry(std::string_view line) {
  std::string entry = WrittenEntry(line);
  if (entry.find(kSchemeSeparator) != std::string::npos) return ExtractOriginHost(entry);
  return entry;
}

bool BuiltInListAdmits(std::string_view host) {
  for (std::string_view entry : BuiltInAllowList())
    if (MatchesHostPattern(host, entry)) return true;
  return false;
}

} // namespace

std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered)
    c = AsciiLower(c);
  return lowered;
}

std::string TrimSpace(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kSpaceCharacters);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kSpaceCharacters);
  return std::string(text.substr(first, last - first + 1));
}

std::string ExtractOriginHost(std::string_view text) {
  if (const std::size_t scheme = text.find(kSchemeSeparator); scheme != std::string_view::npos)
    text.remove_prefix(scheme + kSchemeSeparator.size());
  if (const std::size_t pathStart = text.find_first_of("/?#"); pathStart != std::string_view::npos)
    text = text.substr(0, pathStart);
  if (text.starts_with('[')) {
    // An IPv6 literal keeps its brackets; a port after them goes.
    if (const std::size_t close = text.find(']'); close != std::string_view::npos)
      text = text.substr(0, close + 1);
  } else if (const std::size_t port = text.rfind(':'); port != std::string_view::npos) {
    text = text.substr(0, port);
  }
  return AsciiLowered(text);
}

bool MatchesHostPattern(std::string_view host, std::string_view entry) {
  if (host.empty() || entry.empty()) return false;
  if (entry.size() > 2 && entry.starts_with("*.")) {
    const std::string_view suffix = entry.substr(1);
    return host.size() > suffix.size() && host.ends_with(suffix);
  }
  return host == entry;
}

const std::array<std::string_view, 7>& BuiltInAllowList() noexcept {
  static constexpr std::array<std::string_view, 7> kEntries{
      "localhost",
      "127.0.0.1",
      "[::1]",
      ZYL_MAKER_DOMAIN_IO,
      "*." ZYL_MAKER_DOMAIN_IO,
      ZYL_MAKER_DOMAIN_COM,
      "*." ZYL_MAKER_DOMAIN_COM,
  };
  return kEntries;
}

std::string AllowListFilePath() {
  const std::string folder = platform::SettingsFolder();
  if (folder.empty()) return {};
  const char separator = platform::PathSeparator();
  return folder + separator + "ZYL Engine" + separator + "origins.txt";
}

bool AllowListFileAdmits(const std::string& path, std::string_view host) {
  if (path.empty()) return false;
  const platform::FileRead file = ReadUserFile(path);
  if (file.status != platform::FileRead::Status::Read) return false;
  std::istringstream lines(file.bytes);
  return AllowListAdmits(lines, host);
}

bool AllowListAdmits(std::istream& lines, std::string_view host) {
  std::string line;
  while (std::getline(lines, line))
    if (MatchesHostPattern(host, AllowListEntry(line))) return true;
  return false;
}

std::string UnmatchableEntryProblem(std::string_view line) {
  const std::string written = WrittenEntry(line);
  if (written.empty()) return {};
  // Origins that carry user information are refused before any list is consulted.
  if (written.find('@') != std::string::npos) return "an origin never holds a \"@\"";
  if (written.find(kSchemeSeparator) != std::string::npos) {
    return ExtractOriginHost(written).empty() ? "no host after the scheme" : "";
  }
  if (written.find_first_of("/?") != std::string::npos)
    return "a path is only read after a scheme (write http://host/...)";
  // Hosts are compared without their port, and only an entry with a scheme has it removed.
  const std::size_t bracket = written.rfind(']');
  const std::size_t colon = written.rfind(':');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket))
    return "a port is only read after a scheme (write http://" + written + ")";
  return {};
}

bool IsOriginAllowed(std::string_view origin, const std::string& allowListPath) {
  if (origin.empty()) return true;
  const std::string lowered = AsciiLowered(origin);
  std::string host;
  if (lowered == "null") {
    host = "null";
  } else if (lowered.starts_with("http://") || lowered.starts_with("https://")) {
    // A browser's Origin never carries user information; with one, the compared host could
    // borrow an allowed name ("https://x@app.<maker domain>", "http://localhost:1@evil").
    if (lowered.find('@') != std::string::npos) return false;
    host = ExtractOriginHost(lowered);
  } else {
    // Other schemes (file:, app:, extensions) are local pages and are let through.
    return true;
  }
  return BuiltInListAdmits(host) || AllowListFileAdmits(allowListPath, host);
}

} // namespace ZYL
