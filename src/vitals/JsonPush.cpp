#include "vitals/JsonPush.h"

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

std::optional<JsonPush> JsonPushOf(std::string_view text) {
  for (const PushKind& kind : kPushKinds) {
    if (!text.starts_with(kind.prefix)) continue;
    JsonPush push{kind.topic, "{\"op\":\"event\",\"topic\":\""};
    push.text.append(TopicName(kind.topic)).append("\",\"data\":");
    push.text.append(text.substr(kind.prefix.size())).push_back('}');
    return push;
  }
  return std::nullopt;
}

} // namespace ZYL
