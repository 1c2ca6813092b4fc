#include "vitals/JsonPush.h"

#include "vitals/VitalsData.h"

#include <array>

namespace ZYL {

namespace {

struct PushKind {
  std::string_view prefix;
  Topic topic;
  std::string_view name;
};

constexpr std::array<PushKind, 3> kPushKinds{{
    {"event:transport:", Topic::Transport, "transport"},
    {"event:marker:", Topic::Marker, "marker"},
    {"vitals:", Topic::Vitals, "vitals"},
}};

} // namespace

std::optional<JsonPush> JsonPushOf(std::string_view text) {
  for (const PushKind& kind : kPushKinds) {
    if (!text.starts_with(kind.prefix)) continue;
    JsonPush push{kind.topic, "{\"op\":\"event\",\"topic\":\""};
    push.text.append(kind.name).append("\",\"data\":");
    if (kind.topic == Topic::Vitals)
      push.text.append(VitalsData(text).dump());
    else
      push.text.append(text.substr(kind.prefix.size()));
    push.text.push_back('}');
    return push;
  }
  return std::nullopt;
}

} // namespace ZYL
