#include "vitals/EventTexts.h"

namespace ZYL {

std::string TransportEventText(std::string_view type, bool on) {
  std::string text = "event:transport:{\"type\":\"";
  text += type;
  text += "\",\"on\":";
  text += on ? "true}" : "false}";
  return text;
}

std::string MarkerChangedText(std::uint32_t index, std::int32_t count) {
  return "event:marker:{\"type\":\"changed\",\"index\":" + std::to_string(index) +
         ",\"count\":" + std::to_string(count) + "}";
}

std::string MarkersRebuiltText(std::int32_t count) {
  return "event:marker:{\"type\":\"rebuild\",\"count\":" + std::to_string(count) + "}";
}

} // namespace ZYL
