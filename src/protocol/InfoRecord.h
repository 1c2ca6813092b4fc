// The engine's self-description, shared by the text protocol's get.info and the JSON
// protocol's info.
#pragma once

#include <string>

namespace ZYL {

// The info record's JSON object, members in their fixed order.
const std::string& InfoRecord();

} // namespace ZYL
