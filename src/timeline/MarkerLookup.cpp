#include "timeline/MarkerLookup.h"

#include "host/ScopedSuite.h"
#include "host/Utf16Text.h"
#include "hostsdk/MediaSuites.h"

#include <algorithm>
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

MarkerSuite AcquireMarkerSuite(const hostsdk::BasicSuite* basic) {
  return MarkerSuite(basic, hostsdk::kSequenceMarkerSuiteName, {3, 2, 1});
}

// The marker's UTF-16 name up to its first zero unit; none when the host cannot give it.
std::optional<std::u16string> ReadMarkerName(const hostsdk::SequenceMarkerSuite& suite,
                                             std::int32_t timeline, std::uint32_t index) {
  std::uint64_t size = 0;
  if (suite.GetMarkerNameSize(timeline, index, &size) != hostsdk::kSuccess) return std::nullopt;
  // An odd size cannot be UTF-16 and may hide an over-read by one byte.
  if (size > kMaxMarkerNameBytes || size % 2 != 0) return std::nullopt;
  // size + 2 zeroed bytes: the name and a terminating unit.
  std::vector<char16_t> buffer(static_cast<std::size_t>(size / 2) + 1, u'\0');
  char16_t* units = buffer.data();
  if (suite.GetMarkerName(timeline, index, &units) != hostsdk::kSuccess || units == nullptr)
    return std::nullopt;
  const std::size_t maxUnits = static_cast<std::size_t>(size / 2);
  return std::u16string(units, std::find(units, units + maxUnits, u'\0'));
}

bool NameMatches(const std::u16string& units, std::string_view name, NameMatch match) {
  if (match == NameMatch::Exact) return Utf16ToUtf8(units) == name;
  return FoldedNameEquals(units.c_str(), units.size(), name);
}

std::optional<MarkerMatch> FindMarkerOnTimeline(const hostsdk::SequenceMarkerSuite& suite,
                                                TimelineCache& timelines, std::int32_t timeline,
                                                std::string_view name, NameMatch match) {
  std::uint32_t count = 0;
  const hostsdk::ErrorCode status = suite.GetMarkerCount(timeline, &count);
  timelines.NoteRefusal(timeline, status);
  if (status != hostsdk::kSuccess || count == 0) return std::nullopt;
  timelines.NoteTimeline(timeline);
  for (std::uint32_t index = 0; index < count; ++index) {
    const std::optional<std::u16string> units = ReadMarkerName(suite, timeline, index);
    if (!units || units->empty() || !NameMatches(*units, name, match)) continue;
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
                                            TimelineCache& timelines, std::string_view name,
                                            NameMatch match) {
  const MarkerSuite suite = AcquireMarkerSuite(basic);
  if (!IsComplete(suite)) return std::nullopt;
  std::optional<MarkerMatch> found;
  timelines.SearchTimelines([&](std::int32_t timeline) {
    found = FindMarkerOnTimeline(*suite.get(), timelines, timeline, name, match);
    return found.has_value();
  });
  return found;
}

MarkerListing ListMarkers(const hostsdk::BasicSuite* basic, std::int32_t timeline) {
  MarkerListing listing;
  const MarkerSuite suite = AcquireMarkerSuite(basic);
  if (!IsComplete(suite)) {
    listing.fault = MarkerListing::Fault::NoSuite;
    return listing;
  }
  std::uint32_t count = 0;
  const hostsdk::ErrorCode status = suite->GetMarkerCount(timeline, &count);
  if (status != hostsdk::kSuccess) {
    listing.fault = MarkerListing::Fault::CountRefused;
    listing.status = static_cast<std::int32_t>(status);
    return listing;
  }
  if (count > kMaxListedMarkers) {
    listing.fault = MarkerListing::Fault::TooMany;
    return listing;
  }
  for (std::uint32_t index = 0; index < count; ++index) {
    MarkerEntry entry;
    entry.index = index;
    if (const std::optional<std::u16string> units = ReadMarkerName(*suite.get(), timeline, index))
      entry.name = Utf16ToUtf8(*units);
    std::int64_t time = 0;
    if (suite->GetMarkerTime(timeline, index, &time) == hostsdk::kSuccess) entry.ticks = time;
    listing.markers.push_back(std::move(entry));
  }
  return listing;
}

} // namespace ZYL
