// From a transport notification in the host to its arrival at every subscriber.
#pragma once

#include "Simulator.h"

#include <cstdint>
#include <vector>

namespace zylbench {

struct PushFigures {
  std::vector<double> samples; // nanoseconds, one per healthy subscriber per event that arrived
  int slowReadersCutOff = 0;   // slow readers whose connection ended before the last event
};

// Subscribes `subscribers` connections that read at once, and `slowReaders` more that keep a
// small receive buffer and read one message every 20 ms, then delivers `events` alternating
// "play on" and "play off" notifications through the simulator, each stamped just before
// the host delivers it. Latencies are those of the subscribers that read at once.
PushFigures PushLatencySamples(zylsim::Simulator& sim, std::uint16_t port, int subscribers,
                               int events, int slowReaders = 0);

} // namespace zylbench
