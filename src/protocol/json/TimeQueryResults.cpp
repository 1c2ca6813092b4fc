#include "protocol/json/TimeQueryResults.h"

namespace ZYL {

nlohmann::json TimelineOrNull(std::int32_t timeline) {
  return timeline >= 0 ? nlohmann::json(timeline) : nlohmann::json(nullptr);
}

nlohmann::json MarkerOrNull(const std::optional<MarkerMatch>& marker) {
  if (!marker) return nullptr;
  return {{"timelineID", marker->timeline}, {"ticks", marker->time}};
}

} // namespace ZYL
