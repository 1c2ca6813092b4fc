#include "host/DecimalText.h"

#include <limits>

namespace ZYL {
namespace {

bool IsSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

} // namespace

std::optional<std::int64_t> ParseInt64(std::string_view text) noexcept {
  std::size_t at = 0;
  while (at < text.size() && IsSpace(text[at]))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // The magnitude of the most negative value is one more than that of the largest one.
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  const std::size_t firstDigit = at;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    const auto digit = static_cast<std::uint64_t>(text[at] - '0');
    if (magnitude > (limit - digit) / 10) return std::nullopt; // does not fit in 64 bits
    magnitude = magnitude * 10 + digit;
  }
  if (at == firstDigit) return std::nullopt; // no digits where the number should start
  if (!negative) return static_cast<std::int64_t>(magnitude);
  // Negate in unsigned arithmetic: well-defined even for the most negative value.
  return static_cast<std::int64_t>(~magnitude + 1);
}

std::optional<std::int32_t> ParseInt32(std::string_view text) noexcept {
  const std::optional<std::int64_t> wide = ParseInt64(text);
  if (!wide || *wide < std::numeric_limits<std::int32_t>::min() ||
      *wide > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(*wide);
}

} // namespace ZYL
