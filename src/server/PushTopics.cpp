#include "server/PushTopics.h"

namespace ZYL {

std::vector<Topic> TopicSet::Topics() const {
  std::vector<Topic> topics;
  for (const Topic topic :
       {Topic::Transport, Topic::Marker, Topic::Vitals, Topic::Playhead, Topic::Sequence})
    if (Contains(topic)) topics.push_back(topic);
  return topics;
}

} // namespace ZYL
