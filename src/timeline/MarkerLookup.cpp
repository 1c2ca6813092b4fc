#include "timeline/MarkerLookup.h"

#include "host/ScopedSuite.h"
#include "hostsdk/MediaSuites.h"

#include <vector>

namespace ZYL {

namespace {

// Marker names are short; a larger size is a host fault and must not become an allocation
// of that size.
constexpr std::uint64_t kMaxMarkerNameBytes = 4u << 20;

using MarkerSuite = ScopedSuite<hostsdk::SequenceMarkerSuite>;

bool IsComplete(const MarkerSuite& suite) {
  return suite && suite->GetMarkerCount != nullptr && suite->GetMarkerNameSize != nullptr &&
         suite->GetMarkerName != nullptr && suite->GetMarkerTime != nullptr;
}

bool MarkerNameEquals(const hostsdk::SequenceMarkerSuite& suite, std::int32_t timeline,
                      std::uint32_t index, std::string_view name) {
  std::uint64_t size = 0;
  if (suite.GetMarkerNameSize(timeline, index, &size) != hostsdk::kSuccess || size == 0)
    return false;
  // An odd size cannot be UTF-16 and may hide an over-read by one byte.
  if (size > kMaxMarkerNameBytes || size % 2 != 0) return false;
  // size + 2 zeroed bytes: the name and a terminating unit.
  std::vector<char16_t> buffer(static_cast<std::size_t>(size / 2) + 1, u'\0');
  char16_t* units = buffer.data();
  if (suite.GetMarkerName(timeline, index, &units) != hostsdk::kSuccess || units == nullptr)
    return false;
  return FoldedNameEquals(units, static_cast<std::size_t>(size / 2), name);
}

std::optional<MarkerMatch> FindMarkerOnTimeline(const hostsdk::SequenceMarkerSuite& suite,
                                                TimelineCache& timelines, std::int32_t timeline,
                                                std::string_view name) {
  std::uint32_t count = 0;
  const hostsdk::ErrorCode status = suite.GetMarkerCount(timeline, &count);
  timelines.NoteRefusal(timeline, status);
  if (status != hostsdk::kSuccess || count == 0) return std::nullopt;
  timelines.NoteTimeline(timeline);
  for (std::uint32_t index = 0; index < count; ++index) {
    if (!MarkerNameEquals(suite, timeline, index, name)) continue;
    std::int64_t time = 0;
    if (suite.GetMarkerTime(timeline, index, &time) == hostsdk::kSuccess)
      return MarkerMatch{timeline, time};
  }
  return std::nullopt;
}

} // namespace

bool FoldedNameEquals(const char16_t* units, std::size_t maxUnits, std::string_view name) {
  std::size_t length = 0;
  for (; length < maxUnits && units[length] != u'\0'; ++length) {
    if (length == name.size()) return false;
    const char16_t unit = units[length];
    const char folded = unit <= 0x7F ? static_cast<char>(unit) : '_';
    if (folded != name[length]) return false;
  }
  return length == name.size();
}

std::optional<MarkerMatch> FindMarkerByName(const hostsdk::BasicSuite* basic,
                                            TimelineCache& timelines, std::string_view name) {
  const MarkerSuite suite(basic, hostsdk::kSequenceMarkerSuiteName, {3, 2, 1});
  if (!IsComplete(suite)) return std::nullopt;
  std::optional<MarkerMatch> match;
  timelines.SearchTimelines([&](std::int32_t timeline) {
    match = FindMarkerOnTimeline(*suite.get(), timelines, timeline, name);
    return match.has_value();
  });
  return match;
}

} // namespace ZYL
