// One record from the live state and the host, as the vitals thread sends it.
#pragma once

#include "vitals/VitalsState.h"

#include <cstdint>
#include <string>

namespace ZYL {

struct VitalsSources;

// Samples the transport state, asks the host for the record's counts and levels and
// formats the record; `state` carries speed and change detection to the next record.
// Takes no lock across a host call. `now` is the steady-clock time of the pass.
std::string BuildVitalsRecord(const VitalsSources& sources, VitalsState& state,
                              std::int64_t now);

} // namespace ZYL
