// Host strings the simulator makes itself, for calls into the engine.
#pragma once

#include "HostState.h"
#include "hostsdk/Types.h"

#include <optional>
#include <string>

namespace zylsim {

// A new live host string; whoever receives it disposes it through the String suite.
hostsdk::HostString NewHostString(HostState& host, std::string utf8, StringOrigin origin);
// The text of a live host string; none for a null pointer or a string that is not live.
std::optional<std::string> HostStringText(HostState& host, const hostsdk::HostString* string);

} // namespace zylsim
