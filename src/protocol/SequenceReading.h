// What the host says about one sequence, read once for both protocols' formatters.
#pragma once

#include "protocol/EngineParts.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ZYL {

struct SequenceReading {
  std::int32_t timeline = -1;       // the timeline asked; -1 when none is known
  std::optional<std::string> fault; // "notimeline", "nosuite" or the host's status number
  std::string record;               // the record's JSON object when there is no fault
};

// The timeline `requested`, else the one the engine knows best (scanning when it knows
// none).
SequenceReading ReadSequence(EngineParts& engine, std::optional<std::int32_t> requested);

} // namespace ZYL
