#include "vitals/JsonPush.h"

#include "vitals/VitalsData.h"

#include <array>

namespace ZYL {

namespace {

struct PushKind {
  std::string_view prefix;
  Topic topic;
};

constexpr std::array<PushKind, 3> kPushKinds{{
    {"event:transport:", Topic::Transport},
    {"event:marker:", Topic::Marker},
    {"vitals:", Topic::Vitals},
}};

} // namespace

std::string JsonEventText(Topic topic, std::string_view data) {
  std::string text = "{\"op\":\"event\",\"topic\":\"";
  text.append(TopicName(topic)).append("\",\"data\":").append(data).push_back('}');
  return text;
}

std::optional<JsonPush> JsonPushOf(std::string_view text) {
  for (const PushKind& kind : kPushKinds) {
    if (!text.starts_with(kind.prefix)) continue;
    if (kind.topic == Topic::Vitals)
      return JsonPush{kind.topic, JsonEventText(kind.topic, VitalsData(text).dump())};
    return JsonPush{kind.topic, JsonEventText(kind.topic, text.substr(kind.prefix.size()))};
  }
  return std::nullopt;
}

} // namespace ZYL
