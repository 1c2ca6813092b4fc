// A push as the JSON protocol sends it: the same data as the text protocol's push, as an
// event of its topic; the vitals record with null for what the host did not give.
#pragma once

#include "server/PushTopics.h"

#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

struct JsonPush {
  Topic topic = Topic::Vitals;
  std::string text; // {"op":"event","topic":T,"data":D}
};

// The event for a text-protocol push ("event:transport:", "event:marker:" or "vitals:"
// followed by a JSON object); nothing for any other text.
std::optional<JsonPush> JsonPushOf(std::string_view text);

} // namespace ZYL
