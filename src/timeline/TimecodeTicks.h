// Timecode text as the editor shows it, read as a position on a sequence: SMPTE timecode
// HH:MM:SS:FF at the sequence's nominal frame rate, with drop-frame numbering at 29.97 and
// 59.94 frames a second.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ZYL {

// What a sequence says about its timing; each member missing when the host did not give it.
struct SequenceTiming {
  std::optional<std::int64_t> ticksPerSecond;
  std::int64_t ticksPerFrame = 0; // 0 or less: unknown
  std::optional<bool> dropFrame;
  std::optional<std::int64_t> zeroPointTicks;
};

// The position `text` names on the sequence, in ticks from its zero point. Nothing when the
// text is no such timecode (another form, fields out of range, a drop-frame label that is
// not numbered, drop-frame marked at a rate that has none), when the sequence's timing is
// unknown, or when the position is negative or out of range.
std::optional<std::int64_t> TimecodeToTicks(std::string_view text, const SequenceTiming& timing);

} // namespace ZYL
