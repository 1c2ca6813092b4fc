#include "server/PushTopics.h"

namespace ZYL {

std::string_view TopicName(Topic topic) noexcept {
  switch (topic) {
  case Topic::Transport:
    return "transport";
  case Topic::Marker:
    return "marker";
  case Topic::Vitals:
    return "vitals";
  case Topic::Playhead:
    return "playhead";
  case Topic::Sequence:
    return "sequence";
  }
  return "transport";
}

std::optional<Topic> TopicNamed(std::string_view name) noexcept {
  for (const Topic topic : kTopicsInOrder)
    if (TopicName(topic) == name) return topic;
  return std::nullopt;
}

std::vector<Topic> TopicSet::Topics() const {
  std::vector<Topic> topics;
  for (const Topic topic : kTopicsInOrder)
    if (Contains(topic)) topics.push_back(topic);
  return topics;
}

} // namespace ZYL
