// The node dump: the render trees at a time, line by line, so that the angle and clip-size
// answers can be checked by eye.
#pragma once

#include "timeline/TimelineCache.h"
#include "timeline/TimelineSearch.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ZYL {

// The node dump at `ticks`, one line at a time, from its start marker to its end marker.
using DumpLineSink = std::function<void(const std::string& line)>;
void DumpAngle(TimelineCache& timelines, std::int64_t ticks, std::int32_t track,
               const DumpLineSink& line, const TimelineScope& scope = {});

} // namespace ZYL
