#include "timeline/TimecodeTicks.h"

#include <array>
#include <cstddef>

namespace ZYL {

namespace {

// Hours may run past 24 (a long sequence); more digits than this is no timecode.
constexpr std::size_t kMostHourDigits = 6;
// Frame numbers past the nominal rate are refused anyway; this only bounds the reading.
constexpr std::size_t kMostFrameDigits = 4;

struct SmpteFields {
  std::array<std::int64_t, 4> values{}; // hours, minutes, seconds, frames
  bool dropFrameMarked = false;
};

bool IsTimecodeDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsTimecodeSeparator(char c) noexcept { return c == ':' || c == ';' || c == '.'; }

// Reads `text` from `at`: between `fewest` and `most` digits.
std::optional<std::int64_t> ReadDigits(std::string_view text, std::size_t& at, std::size_t fewest,
                                       std::size_t most) {
  std::int64_t value = 0;
  std::size_t count = 0;
  while (at < text.size() && IsTimecodeDigit(text[at])) {
    if (++count > most) return std::nullopt; // too many digits for this field
    value = value * 10 + (text[at] - '0');
    ++at;
  }
  if (count < fewest) return std::nullopt; // a field too short or missing
  return value;
}

// HH:MM:SS:FF with ':' everywhere, or ';' or '.' before the frames (the others both ':' or
// both the same mark) for drop-frame.
std::optional<SmpteFields> ReadFields(std::string_view text) {
  constexpr std::array<std::size_t, 4> kFewestDigits{2, 2, 2, 2};
  constexpr std::array<std::size_t, 4> kMostDigits{kMostHourDigits, 2, 2, kMostFrameDigits};
  SmpteFields fields;
  std::array<char, 3> separators{};
  std::size_t at = 0;
  for (std::size_t field = 0; field < 4; ++field) {
    const std::optional<std::int64_t> value =
        ReadDigits(text, at, kFewestDigits[field], kMostDigits[field]);
    if (!value) return std::nullopt;
    fields.values[field] = *value;
    if (field == 3) break;
    if (at >= text.size() || !IsTimecodeSeparator(text[at])) return std::nullopt; // not four fields
    separators[field] = text[at++];
  }
  if (at != text.size()) return std::nullopt; // something after the frames
  const char beforeFrames = separators[2];
  // The hours and minutes end alike: with ':', or with the mark before the frames.
  if (separators[0] != separators[1] || (separators[0] != ':' && separators[0] != beforeFrames))
    return std::nullopt; // mixed marks
  fields.dropFrameMarked = beforeFrames != ':';
  return fields;
}

std::optional<std::int64_t> Multiplied(std::int64_t a, std::int64_t b) noexcept {
  std::int64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
  return product;
}

// Frame numbers dropped each minute but every tenth: 2 at 29.97, 4 at 59.94, none elsewhere.
std::int64_t DroppedPerMinute(std::int64_t ticksPerSecond, std::int64_t ticksPerFrame) noexcept {
  const std::optional<std::int64_t> frameSide30 = Multiplied(ticksPerFrame, 30000);
  const std::optional<std::int64_t> frameSide60 = Multiplied(ticksPerFrame, 60000);
  const std::optional<std::int64_t> secondSide = Multiplied(ticksPerSecond, 1001);
  if (!secondSide) return 0;
  if (frameSide30 == secondSide) return 2;
  if (frameSide60 == secondSide) return 4;
  return 0;
}

} // namespace

std::optional<std::int64_t> TimecodeToTicks(std::string_view text, const SequenceTiming& timing) {
  if (!timing.ticksPerSecond || *timing.ticksPerSecond <= 0 || timing.ticksPerFrame <= 0 ||
      !timing.zeroPointTicks)
    return std::nullopt;
  const std::optional<SmpteFields> fields = ReadFields(text);
  if (!fields) return std::nullopt;
  const std::int64_t ticksPerSecond = *timing.ticksPerSecond;
  const std::int64_t ticksPerFrame = timing.ticksPerFrame;
  // The nominal rate: frames a second, rounded to the nearest whole number (half up).
  const std::int64_t remainder = ticksPerSecond % ticksPerFrame;
  const std::int64_t nominal =
      ticksPerSecond / ticksPerFrame + (remainder >= ticksPerFrame - remainder ? 1 : 0);
  const auto [hours, minutes, seconds, frames] = fields->values;
  if (nominal <= 0 || minutes >= 60 || seconds >= 60 || frames >= nominal) return std::nullopt;

  const std::int64_t dropPerMinute = DroppedPerMinute(ticksPerSecond, ticksPerFrame);
  if (fields->dropFrameMarked && dropPerMinute == 0) return std::nullopt; // no such numbering
  const bool dropFrame = dropPerMinute > 0 && (fields->dropFrameMarked || timing.dropFrame == true);
  const std::int64_t totalMinutes = hours * 60 + minutes;
  const std::optional<std::int64_t> wholeSeconds = Multiplied(totalMinutes * 60 + seconds, nominal);
  std::int64_t frame = 0;
  if (!wholeSeconds || __builtin_add_overflow(*wholeSeconds, frames, &frame)) return std::nullopt;
  if (dropFrame) {
    // The first frame numbers of each minute but every tenth are never shown.
    if (seconds == 0 && frames < dropPerMinute && minutes % 10 != 0) return std::nullopt;
    frame -= dropPerMinute * (totalMinutes - totalMinutes / 10);
  }
  const std::optional<std::int64_t> ticks = Multiplied(frame, ticksPerFrame);
  std::int64_t position = 0;
  if (!ticks || __builtin_sub_overflow(*ticks, *timing.zeroPointTicks, &position) || position < 0)
    return std::nullopt;
  return position;
}

} // namespace ZYL
