// From a transport notification in the host to its arrival at every subscriber.
#pragma once

#include "Simulator.h"

#include <cstdint>
#include <vector>

namespace zylbench {

// Subscribes `subscribers` connections, then delivers `events` alternating "play on" and
// "play off" notifications through the simulator, each stamped just before the host
// delivers it. Returns one latency (nanoseconds) per subscriber per event that arrived.
std::vector<double> PushLatencySamples(zylsim::Simulator& sim, std::uint16_t port, int subscribers,
                                       int events);

} // namespace zylbench
