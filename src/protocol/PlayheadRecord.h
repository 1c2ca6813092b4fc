// What a panel shows of the playhead: the timecode the host last reported, read as a position
// on a connection's timeline, and the multicam angle there.
#pragma once

#include "host/TransportState.h"
#include "protocol/EngineParts.h"
#include "protocol/SequenceReading.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

namespace ZYL {

// The sequence of the timeline `connection` means: its pin, else the one sequence.get
// without params describes. A pin the host no longer knows is dropped first.
SequenceReading ReadConnectionSequence(EngineParts& engine, ClientConnection& connection);

// The playhead record on the timeline of `reading` for `timecode` (none: no timecode stored),
// its age taken at `now` (steady-clock ns): {"timecode","displayMode","timelineID","ticks",
// "angle","ageMs"}.
nlohmann::json PlayheadRecord(EngineParts& engine, const SequenceReading& reading,
                              const std::optional<TimecodeReading>& timecode, std::int64_t now);

// The record's age in milliseconds at `now`; null without a timecode.
nlohmann::json PlayheadAge(const std::optional<TimecodeReading>& timecode, std::int64_t now);

} // namespace ZYL
