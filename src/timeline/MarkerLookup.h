// Finding a sequence marker by name across the timelines, for the queries by marker.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "timeline/TimelineCache.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ZYL {

struct MarkerMatch {
  std::int32_t timeline;
  std::int64_t time;
};

// The first marker, in search order and then index order, whose folded name equals `name`.
// Timelines that have markers are noted in the cache.
std::optional<MarkerMatch> FindMarkerByName(const hostsdk::BasicSuite* basic,
                                            TimelineCache& timelines, std::string_view name);

// Clients send names as bytes, so a UTF-16 name is compared with ASCII units kept and every
// other unit read as "_". The name ends at a zero unit or after `maxUnits` units.
bool FoldedNameEquals(const char16_t* units, std::size_t maxUnits, std::string_view name);

} // namespace ZYL
