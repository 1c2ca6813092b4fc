// A connection's pinned timeline as the default of every method that takes `timeline`.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"

#include <nlohmann/json.hpp>
#include <string_view>

namespace ZYL {

// Runs `method` for `connection`: with the connection's pinned timeline as `timeline` when the
// method takes one and the request names none. When the host no longer knows the pinned
// timeline, the pin is dropped and the request runs as if there had been none. A result the
// method gives as written text stays so (ResultForm::AsWritten), for the response.
Outcome RunForConnection(EngineParts& engine, ClientConnection& connection, std::string_view method,
                         nlohmann::json params);

} // namespace ZYL
