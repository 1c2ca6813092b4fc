// The result members that the angle and clip methods share: who answered, and the marker found.
#pragma once

#include "timeline/MarkerLookup.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

namespace ZYL {

// The timeline that answered; what the text protocol answers as -1 (no timeline) is null here.
nlohmann::json TimelineOrNull(std::int32_t timeline);

// The marker a query went by, as its timeline and time; null when no marker had the name.
nlohmann::json MarkerOrNull(const std::optional<MarkerMatch>& marker);

} // namespace ZYL
