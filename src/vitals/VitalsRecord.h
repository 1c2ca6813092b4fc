// The "vitals:" record: one line of JSON with the editor's live state, pushed to every
// subscriber about once a second.
#pragma once

#include "vitals/ChangeFlags.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace ZYL {

inline constexpr double kNoAudioPeakDb = -999.0;

struct VitalsValues {
  bool playing = false;
  std::int32_t idleSec = 0;
  bool paused = false;
  bool recording = false;
  bool rewind = false;
  bool ffwd = false;
  double speed = 0.0;
  std::string timecode;
  std::int32_t displayMode = 0;
  std::int32_t cuts = -1;
  ChangeFlags changes;
  std::int32_t markers = -1;
  std::int32_t tracks = -1;
  double audioPeakDb = kNoAudioPeakDb;
  bool soloActive = false;
};

// The longest record apart from the timecode's escaped text, with every field at its widest:
// "false" for each flag, INT32_MIN for each signed count, UINT32_MAX for the display mode
// and -DBL_MAX for the two real numbers.
inline constexpr std::size_t kLongestVitalsRecordWithoutTimecode = [] {
  // The format without its conversions.
  constexpr std::size_t kLiteralCharacters = 213 + sizeof(ZYL_ENGINE_VERSION) - 1;
  constexpr std::size_t kFlags = 9 * 5;
  constexpr std::size_t kSignedCounts = 4 * 11;
  constexpr std::size_t kDisplayMode = 10;
  constexpr std::size_t kDoubleIntegerDigits = std::numeric_limits<double>::max_exponent10 + 1;
  constexpr std::size_t kSpeed = 1 + kDoubleIntegerDigits + 3;
  constexpr std::size_t kPeak = 1 + kDoubleIntegerDigits + 2;
  return kLiteralCharacters + kFlags + kSignedCounts + kDisplayMode + kSpeed + kPeak;
}();

// The complete record text, never cut short, with the timecode as a valid JSON string.
std::string FormatVitalsRecord(const VitalsValues& values);

} // namespace ZYL
