#include "protocol/text/CommandArguments.h"

#include <limits>

namespace ZYL {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The C locale's white space, which strtoll skips.
// The text from `begin` up to `end` (exclusive), or to the end of `text` when `end` is kNone.
std::string_view Piece(std::string_view text, std::size_t begin, std::size_t end) noexcept {
  return end == kNone ? text.substr(begin) : text.substr(begin, end - begin);
}

} // namespace

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
