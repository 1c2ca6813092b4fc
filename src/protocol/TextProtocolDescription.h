// The text protocol as protocol.describe lists it (its "protocol1" member), made from the
// text protocol's command table.
#pragma once

#include <nlohmann/json.hpp>

namespace ZYL {

nlohmann::json DescribeTextProtocol();

} // namespace ZYL
