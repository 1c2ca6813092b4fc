// The origins.txt reader against any file a user (or a program writing to the user's
// settings) may leave. Input: an origin on the first line, then the file text, optionally
// cut in two by a NUL byte. Entries are case-insensitive, and each line stands alone: no
// comment, blank or broken line may change how another line is read.
#include "FuzzCheck.h"
#include "server/OriginPolicy.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

bool Admits(std::string_view fileText, const std::string& host) {
  std::istringstream lines{std::string(fileText)};
  return ZYL::AllowListAdmits(lines, host);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zylfuzz::Require;
  const std::string_view input = zylfuzz::AsText(data, size);
  const std::size_t originEnd = input.find('\n');
  if (originEnd == std::string_view::npos) return 0;
  // The decision hands the reader hosts as ExtractOriginHost gives them: lower-cased.
  const std::string host = ZYL::ExtractOriginHost(input.substr(0, originEnd));
  const std::string_view file = input.substr(originEnd + 1);

  const bool admitted = Admits(file, host);
  Require(Admits(zylfuzz::AsciiUpper(file), host) == admitted,
          "entries are compared without regard to case");

  const std::size_t cut = file.find('\0');
  if (cut != std::string_view::npos) {
    const std::string_view first = file.substr(0, cut);
    const std::string_view second = file.substr(cut + 1);
    const std::string joined = std::string(first) + "\n" + std::string(second);
    Require(Admits(joined, host) == (Admits(first, host) || Admits(second, host)),
            "a file admits what any of its lines admits");
  }
  return 0;
}
