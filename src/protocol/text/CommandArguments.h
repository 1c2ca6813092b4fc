// The argument split of every command. Pure functions of the
// text after a command's prefix: no host, no socket, so they can be tested and fuzzed alone.
// A split that cannot convert its arguments returns nothing; the command's entry turns that
// into its parse reaction.
#pragma once

#include "host/DecimalText.h"
#include "timeline/TimelineScan.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ZYL {

// get.angle and dump.angle: ticks [":" track].
struct TimeTrackArguments {
  std::int64_t ticks = 0;
  std::int32_t track = -1;
};
std::optional<TimeTrackArguments> SplitTimeTrack(std::string_view rest) noexcept;

// debug.tlscan: from [":" to [":" budget]]. Never fails: unconvertible text scans nothing
// (0 to 0) with the default budget.
using TimelineScanArguments = TimelineScanRange;
TimelineScanArguments SplitTimelineScan(std::string_view rest) noexcept;

// get.clipsize: ticks ":" track, or ticks ":" end ":" track [":" ignored ...].
struct ClipSizeArguments {
  std::int64_t ticks = 0;
  std::int64_t end = -1;
  std::int32_t track = -1;
};
std::optional<ClipSizeArguments> SplitClipSize(std::string_view rest) noexcept;

// get.angle.marker and get.clipsize.marker: name [":" track], split at the last colon so a
// name may hold colons. Never fails: an unconvertible track becomes -1.
struct MarkerArguments {
  std::string_view name;
  std::int32_t track = -1;
};
MarkerArguments SplitMarker(std::string_view rest) noexcept;

// exec: category ":" command. The category (possibly empty) ends at the first colon; the
// command (never empty) runs to the end, colons included. Views into `rest`.
struct ExecArguments {
  std::string_view category;
  std::string_view command;
};
std::optional<ExecArguments> SplitExec(std::string_view rest) noexcept;

// get.transitions: start ":" end ":" track.
struct TransitionsArguments {
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::int32_t track = -1;
};
std::optional<TransitionsArguments> SplitTransitions(std::string_view rest) noexcept;

// get.sequence: an empty rest names no timeline; otherwise the low 32 bits of the 64-bit
// value, as a signed number, name it.
struct SequenceArguments {
  std::optional<std::int32_t> timeline;
};
std::optional<SequenceArguments> SplitSequence(std::string_view rest) noexcept;

} // namespace ZYL
