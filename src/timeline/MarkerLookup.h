// A timeline's sequence markers: finding one by name across the timelines, for the queries
// by marker, and listing one timeline's markers.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "timeline/TimelineCache.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZYL {

struct MarkerMatch {
  std::int32_t timeline;
  std::int64_t time;
};

// How a client's name is compared with a marker's UTF-16 name: folded as the text protocol
// does (FoldedNameEquals), or exactly, as its UTF-8 form.
enum class NameMatch { Folded, Exact };

// The first marker, in search order and then index order, whose name matches `name`.
// Timelines that have markers are noted in the cache.
std::optional<MarkerMatch> FindMarkerByName(const hostsdk::BasicSuite* basic,
                                            TimelineCache& timelines, std::string_view name,
                                            NameMatch match = NameMatch::Folded);

// Clients send names as bytes, so a UTF-16 name is compared with ASCII units kept and every
// other unit read as "_". The name ends at a zero unit or after `maxUnits` units.
bool FoldedNameEquals(const char16_t* units, std::size_t maxUnits, std::string_view name);

struct MarkerEntry {
  std::uint32_t index = 0;
  std::optional<std::string> name; // UTF-8, U+FFFD for a lone surrogate; none when unreadable
  std::optional<std::int64_t> ticks;
};

// The most markers one listing gives; a host that counts more is refused rather than
// answered in part.
inline constexpr std::uint32_t kMaxListedMarkers = 100'000;

struct MarkerListing {
  enum class Fault {
    None,
    NoSuite,      // the host offers no complete marker suite
    CountRefused, // the count call failed; `status` holds its code
    TooMany,      // more than kMaxListedMarkers
  };
  Fault fault = Fault::None;
  std::int32_t status = 0;
  std::vector<MarkerEntry> markers;
};

// Every marker of `timeline`, in index order. Asks the host only; the cache is untouched.
MarkerListing ListMarkers(const hostsdk::BasicSuite* basic, std::int32_t timeline);

} // namespace ZYL
