// The record's counts and levels that come straight from the host. Each reader degrades
// its own field when a suite, an object or a call is missing: -1 for counts, kNoAudioPeakDb
// for the peak, false for solo.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace ZYL {

struct VitalsSources;

// Sequence markers are capped so that a runaway host count cannot swamp the host's own
// marker count that is added after the cap.
inline constexpr std::uint64_t kSequenceMarkerCap = 1'000'000;

// Combines the sum over the known timelines (nothing when no count was read) with the
// host's marker count (0 when it has none or the call failed).
std::int32_t CombineMarkerCounts(std::optional<std::uint64_t> sequenceMarkers,
                                 std::int32_t hostMarkers) noexcept;

// The loudest of the channel peaks; values that are not finite numbers are ignored, so a
// strange host level cannot put a non-number into the record.
double LoudestPeak(std::span<const float> peaksDb) noexcept;

std::int32_t ReadMarkerTotal(const VitalsSources& sources);
std::int32_t ReadTrackCount(const VitalsSources& sources) noexcept;
// Only meaningful while playing; the caller decides.
double ReadAudioPeak(const VitalsSources& sources) noexcept;
bool ReadSoloState(const VitalsSources& sources) noexcept;

} // namespace ZYL
