#include "vitals/HostVitals.h"

#include "host/ScopedSuite.h"
#include "vitals/VitalsSources.h"
#include "hostsdk/MediaSuites.h"
#include "host/HostCall.h"
#include "vitals/VitalsRecord.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace ZYL {

namespace {

// Only version 3 counts markers the way the record reports them.
constexpr std::int32_t kRecordMarkerSuiteVersion = 3;
constexpr std::int32_t kMostMeterChannels = 32;

std::optional<std::uint64_t> SumSequenceMarkers(const VitalsSources& sources) {
  const std::vector<std::int32_t> timelines = sources.timelines.OrderedTimelines();
  if (timelines.empty()) return std::nullopt;
  const ScopedSuite<hostsdk::SequenceMarkerSuite> markers(
      sources.host.basicSuite, hostsdk::kSequenceMarkerSuiteName, kRecordMarkerSuiteVersion);
  if (!markers) return std::nullopt;
  std::optional<std::uint64_t> sum;
  for (const std::int32_t timeline : timelines) {
    std::uint32_t count = 0;
    if (CallHost(markers->GetMarkerCount, timeline, &count) == hostsdk::kSuccess)
      sum = sum.value_or(0) + count;
  }
  return sum;
}

std::int32_t ReadHostMarkerCount(const VitalsSources& sources) noexcept {
  if (sources.host.markerSuite == nullptr || sources.host.markerHost == nullptr) return 0;
  std::int32_t count = 0;
  if (CallHost(sources.host.markerSuite->GetMarkerCount, sources.host.markerHost, &count) !=
      hostsdk::kSuccess)
    return 0;
  return count;
}

bool HasMixer(const VitalsSources& sources) noexcept {
  return sources.host.mixerSuite != nullptr && sources.host.mixerHost != nullptr;
}

} // namespace

std::int32_t CombineMarkerCounts(std::optional<std::uint64_t> sequenceMarkers,
                                 std::int32_t hostMarkers) noexcept {
  std::int64_t total =
      sequenceMarkers ? static_cast<std::int64_t>(std::min(*sequenceMarkers, kSequenceMarkerCap))
                      : -1;
  if (hostMarkers != 0) total = std::max<std::int64_t>(total, 0) + hostMarkers;
  // The host's count is 32-bit too, so the sum may need one more bit than the field has.
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      total, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

double LoudestPeak(std::span<const float> peaksDb) noexcept {
  double loudest = kNoAudioPeakDb;
  for (const float peak : peaksDb) {
    if (std::isfinite(peak) && peak > loudest) loudest = peak;
  }
  return loudest;
}

std::int32_t ReadMarkerTotal(const VitalsSources& sources) {
  return CombineMarkerCounts(SumSequenceMarkers(sources), ReadHostMarkerCount(sources));
}

std::int32_t ReadTrackCount(const VitalsSources& sources) noexcept {
  if (!HasMixer(sources)) return -1;
  std::int32_t tracks = 0;
  if (CallHost(sources.host.mixerSuite->GetTrackCount, sources.host.mixerHost, &tracks) != hostsdk::kSuccess)
    return -1;
  return tracks;
}

double ReadAudioPeak(const VitalsSources& sources) noexcept {
  if (!HasMixer(sources)) return kNoAudioPeakDb;
  const hostsdk::HostMixerSuite1& mixer = *sources.host.mixerSuite;
  std::int32_t source = 0;
  if (CallHost(mixer.GetMeterSource, sources.host.mixerHost, &source) != hostsdk::kSuccess ||
      source == 0)
    return kNoAudioPeakDb;
  std::int32_t channels = 0;
  if (CallHost(mixer.GetChannelCount, sources.host.mixerHost, source, &channels) != hostsdk::kSuccess ||
      channels < 1 || channels > kMostMeterChannels)
    return kNoAudioPeakDb;
  std::array<float, kMostMeterChannels> peaks{};
  if (CallHost(mixer.GetPeakLevels, sources.host.mixerHost, source, channels, peaks.data()) !=
      hostsdk::kSuccess)
    return kNoAudioPeakDb;
  return LoudestPeak(std::span<const float>(peaks.data(), static_cast<std::size_t>(channels)));
}

bool ReadSoloState(const VitalsSources& sources) noexcept {
  if (sources.host.transportSuite == nullptr || sources.host.transportHost == nullptr) return false;
  std::uint8_t solo = 0;
  return CallHost(sources.host.transportSuite->GetSoloState, sources.host.transportHost, &solo) ==
             hostsdk::kSuccess &&
         solo != 0;
}

} // namespace ZYL
