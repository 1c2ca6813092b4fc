// protocol.describe: the protocol's machine-readable description.
#pragma once

#include <nlohmann/json.hpp>

namespace ZYL {

// Built from the method table, the text protocol's command table, the error and close code
// lists and the record members.
nlohmann::json DescribeProtocol();

} // namespace ZYL
