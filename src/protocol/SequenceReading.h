// What the host says about one sequence, read once for both protocols' formatters.
#pragma once

#include "protocol/EngineParts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ZYL {

struct SequenceReading {
  std::int32_t timeline = -1;       // the timeline asked; -1 when none is known
  std::optional<std::string> fault; // "notimeline", "nosuite" or the host's status number
  std::string record;               // the record's JSON object when there is no fault
};

// The timeline `requested`, else the one the engine knows best (scanning when it knows
// none).
SequenceReading ReadSequence(EngineParts& engine, std::optional<std::int32_t> requested);

// The timelines the engine knows, best first; when it knows none, those a scan finds (a
// scan runs only when none ever did or the cache turned out wrong).
std::vector<std::int32_t> KnownTimelines(EngineParts& engine);

} // namespace ZYL
