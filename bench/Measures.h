// The measurements that are the same against every server: round-trip latency, round trips
// per second over several connections, and upgrades per second.
#pragma once

#include "BenchClient.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zylbench {

// One command as sent and how many text frames answer it.
struct Request {
  std::string frame; // masked frame bytes
  int replies = 1;
  Protocol protocol = Protocol::Text;
  int repeats = 1; // one round trip is this many requests, each answered before the next
};

// Round-trip durations (nanoseconds) of `count` requests on one connection, after a warm-up.
// Empty when the connection failed.
std::vector<double> RoundTripSamples(std::uint16_t port, const Request& request, int count);

// Round trips per second over `connections` connections at once, each sending the next
// request as soon as its answer is in, for about `milliseconds`.
double RoundTripsPerSecond(std::uint16_t port, const Request& request, int connections,
                           int milliseconds);

// Completed upgrades per second from `parallel` clients each connecting, upgrading and
// closing over and over for about `milliseconds`; refused attempts are not counted.
double HandshakesPerSecond(std::uint16_t port, int parallel, int milliseconds);

// Runs `body(index)` on `count` threads at once and waits for all of them.
template <typename Body> void RunOnThreads(int count, Body body);

} // namespace zylbench

#include "RunOnThreads.h"
