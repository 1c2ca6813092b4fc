// Playback speed derived from the timecode texts the host reports: how many seconds of
// timecode passed per second of wall time between two readings.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace ZYL {

// A field stops growing here, whatever digits the host sends, so that the frame base (one
// above the largest frame field) still fits its 32 bits.
inline constexpr std::int32_t kTimecodeFieldLimit = std::numeric_limits<std::int32_t>::max() - 1;

struct TimecodeFields {
  std::array<std::int32_t, 4> values{};
  int count = 0;
};

// Splits hours, minutes, seconds and frames at ':', ';' or '.'. Only the first three
// separators end a field, so any further text runs into the last (frame) field.
TimecodeFields ReadTimecodeFields(std::string_view text) noexcept;

struct SpeedState {
  std::int32_t frameBase = 30; // frames per second assumed for a frame field
  std::int32_t maxFrame = 0;   // largest frame field seen
  std::int64_t previousStamp = 0;
  double previousPosition = -1.0; // seconds; negative means no previous reading
};

// The timecode's position in seconds, or nothing for fewer than two fields. A frame field
// at or above the frame base raises the base, since the host never tells us its rate.
std::optional<double> ReadTimecodePosition(std::string_view text, SpeedState& state) noexcept;

// Speed from the previous reading to this one (text stamped at `stamp`, steady-clock ns).
// Readings 50 ms apart or less are too close to measure and give 0.
double UpdateSpeed(std::string_view text, std::int64_t stamp, SpeedState& state) noexcept;

} // namespace ZYL
