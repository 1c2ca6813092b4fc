#include "protocol/CommandArguments.h"

#include <limits>

namespace ZYL {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The C locale's white space, which strtoll skips.
bool IsSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The text from `begin` up to `end` (exclusive), or to the end of `text` when `end` is kNone.
std::string_view Piece(std::string_view text, std::size_t begin, std::size_t end) noexcept {
  return end == kNone ? text.substr(begin) : text.substr(begin, end - begin);
}

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

std::optional<TimeTrackArguments> SplitTimeTrack(std::string_view rest) noexcept {
  const std::size_t colon = rest.find(':');
  const std::optional<std::int64_t> ticks = ParseInt64(Piece(rest, 0, colon));
  if (!ticks) return std::nullopt;
  if (colon == kNone) return TimeTrackArguments{*ticks, -1};
  const std::optional<std::int32_t> track = ParseInt32(rest.substr(colon + 1));
  if (!track) return std::nullopt;
  return TimeTrackArguments{*ticks, *track};
}

TimelineScanArguments SplitTimelineScan(std::string_view rest) noexcept {
  TimelineScanArguments arguments;
  const std::size_t first = rest.find(':');
  const std::optional<std::int64_t> from = ParseInt64(Piece(rest, 0, first));
  if (!from) return {};
  arguments.from = *from;
  if (first != kNone) {
    const std::size_t next = rest.find(':', first + 1);
    const std::optional<std::int64_t> to = ParseInt64(Piece(rest, first + 1, next));
    if (!to) return {};
    arguments.to = *to;
    if (next != kNone) {
      const std::optional<std::int64_t> budget = ParseInt64(rest.substr(next + 1));
      if (!budget) return {};
      arguments.budgetMs = *budget;
    }
  }
  // Timeline ids are 32-bit and never negative.
  if (arguments.from < 0) arguments.from = 0;
  if (arguments.to > std::numeric_limits<std::int32_t>::max())
    arguments.to = std::numeric_limits<std::int32_t>::max();
  return arguments;
}

std::optional<ClipSizeArguments> SplitClipSize(std::string_view rest) noexcept {
  const std::size_t first = rest.find(':');
  if (first == kNone) return std::nullopt; // one field only
  const std::size_t second = rest.find(':', first + 1);
  const std::optional<std::int64_t> ticks = ParseInt64(rest.substr(0, first));
  if (!ticks) return std::nullopt;
  if (second == kNone) {
    const std::optional<std::int32_t> track = ParseInt32(rest.substr(first + 1));
    if (!track) return std::nullopt;
    return ClipSizeArguments{*ticks, -1, *track};
  }
  const std::optional<std::int64_t> end = ParseInt64(Piece(rest, first + 1, second));
  const std::optional<std::int32_t> track =
      ParseInt32(Piece(rest, second + 1, rest.find(':', second + 1)));
  if (!end || !track) return std::nullopt;
  return ClipSizeArguments{*ticks, *end, *track};
}

MarkerArguments SplitMarker(std::string_view rest) noexcept {
  const std::size_t last = rest.rfind(':');
  if (last == kNone) return {rest, -1};
  return {rest.substr(0, last), ParseInt32(rest.substr(last + 1)).value_or(-1)};
}

std::optional<ExecArguments> SplitExec(std::string_view rest) noexcept {
  const std::size_t colon = rest.find(':');
  if (colon == kNone || colon + 1 == rest.size()) return std::nullopt; // no command named
  return ExecArguments{rest.substr(0, colon), rest.substr(colon + 1)};
}

std::optional<TransitionsArguments> SplitTransitions(std::string_view rest) noexcept {
  const std::size_t first = rest.find(':');
  if (first == kNone) return std::nullopt;
  const std::size_t next = rest.find(':', first + 1);
  if (next == kNone) return std::nullopt;
  const std::optional<std::int64_t> start = ParseInt64(rest.substr(0, first));
  const std::optional<std::int64_t> end = ParseInt64(Piece(rest, first + 1, next));
  const std::optional<std::int32_t> track = ParseInt32(rest.substr(next + 1));
  if (!start || !end || !track) return std::nullopt;
  return TransitionsArguments{*start, *end, *track};
}

std::optional<SequenceArguments> SplitSequence(std::string_view rest) noexcept {
  if (rest.empty()) return SequenceArguments{};
  const std::optional<std::int64_t> timeline = ParseInt64(rest);
  if (!timeline) return std::nullopt;
  // Clients may send the host's id widened to 64 bits; only its low 32 bits name it.
  return SequenceArguments{static_cast<std::int32_t>(static_cast<std::uint32_t>(*timeline))};
}

} // namespace ZYL
