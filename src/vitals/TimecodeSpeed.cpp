#include "vitals/TimecodeSpeed.h"

#include <cstdint>

namespace ZYL {

namespace {

constexpr int kFieldsBeforeFrames = 3;
constexpr double kShortestMeasurableSeconds = 0.05;

bool IsSeparator(char c) noexcept { return c == ':' || c == ';' || c == '.'; }

std::int32_t AppendDigit(std::int32_t value, int digit) noexcept {
  const std::int64_t grown = std::int64_t{value} * 10 + digit;
  return grown > kTimecodeFieldLimit ? kTimecodeFieldLimit : static_cast<std::int32_t>(grown);
}

} // namespace

TimecodeFields ReadTimecodeFields(std::string_view text) noexcept {
  TimecodeFields fields;
  std::int32_t value = 0;
  bool hasDigits = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      value = AppendDigit(value, c - '0');
      hasDigits = true;
    } else if (IsSeparator(c) && hasDigits && fields.count < kFieldsBeforeFrames) {
      fields.values[static_cast<std::size_t>(fields.count++)] = value;
      value = 0;
      hasDigits = false;
    }
  }
  if (hasDigits) fields.values[static_cast<std::size_t>(fields.count++)] = value;
  return fields;
}

std::optional<double> ReadTimecodePosition(std::string_view text, SpeedState& state) noexcept {
  const TimecodeFields fields = ReadTimecodeFields(text);
  const auto& f = fields.values;
  switch (fields.count) {
  case 2:
    return f[0] * 60.0 + f[1];
  case 3:
    return f[0] * 3600.0 + f[1] * 60.0 + f[2];
  case 4:
    if (f[3] > state.maxFrame) {
      state.maxFrame = f[3];
      if (state.frameBase <= f[3]) state.frameBase = f[3] + 1;
    }
    return f[0] * 3600.0 + f[1] * 60.0 + f[2] + static_cast<double>(f[3]) / state.frameBase;
  default:
    return std::nullopt;
  }
}

double UpdateSpeed(std::string_view text, std::int64_t stamp, SpeedState& state) noexcept {
  const std::optional<double> position = ReadTimecodePosition(text, state);
  if (!position) return 0.0;
  double speed = 0.0;
  if (state.previousPosition >= 0.0) {
    const double elapsed = static_cast<double>(stamp - state.previousStamp) / 1e9;
    if (elapsed > kShortestMeasurableSeconds)
      speed = (*position - state.previousPosition) / elapsed;
  }
  state.previousStamp = stamp;
  state.previousPosition = *position;
  return speed;
}

} // namespace ZYL
