#include "Measures.h"

#include "BenchClient.h"
#include "Stats.h"

#include <atomic>
#include <memory>

namespace zylbench {

namespace {

constexpr int kWarmUpRequests = 20;

// Every thread opens its connection first; the clock starts once all are ready, so the
// upgrades are not part of the rate.
struct StartLine {
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  void Arrive(int total) {
    ready.fetch_add(1);
    while (!go.load())
      if (ready.load() == total) go.store(true);
  }
};

bool RoundTrip(BenchClient& client, const Request& request) {
  for (int i = 0; i < request.repeats; ++i)
    if (!client.RoundTrip(request.frame, request.replies)) return false;
  return true;
}

} // namespace

std::vector<double> RoundTripSamples(std::uint16_t port, const Request& request, int count) {
  BenchClient client;
  std::vector<double> samples;
  if (!client.Open(port, request.protocol)) return samples;
  for (int i = 0; i < kWarmUpRequests; ++i)
    if (!RoundTrip(client, request)) return samples;
  samples.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const Clock::time_point start = Clock::now();
    if (!RoundTrip(client, request)) return {};
    samples.push_back(NanosecondsBetween(start, Clock::now()));
  }
  return samples;
}

double RoundTripsPerSecond(std::uint16_t port, const Request& request, int connections,
                           int milliseconds) {
  std::vector<std::unique_ptr<BenchClient>> clients;
  for (int i = 0; i < connections; ++i) {
    clients.push_back(std::make_unique<BenchClient>());
    if (!clients.back()->Open(port, request.protocol)) return 0;
  }
  std::atomic<long> done{0};
  StartLine start;
  Clock::time_point begin;
  const auto period = std::chrono::milliseconds(milliseconds);
  RunOnThreads(connections, [&](int index) {
    BenchClient& client = *clients[static_cast<std::size_t>(index)];
    start.Arrive(connections);
    if (index == 0) begin = Clock::now();
    const Clock::time_point end = Clock::now() + period;
    long count = 0;
    while (Clock::now() < end && RoundTrip(client, request))
      ++count;
    done.fetch_add(count);
  });
  const double seconds = NanosecondsBetween(begin, Clock::now()) / 1e9;
  return static_cast<double>(done.load()) / seconds;
}

double HandshakesPerSecond(std::uint16_t port, int parallel, int milliseconds) {
  std::atomic<long> done{0};
  const Clock::time_point begin = Clock::now();
  const Clock::time_point end = begin + std::chrono::milliseconds(milliseconds);
  RunOnThreads(parallel, [&](int) {
    BenchClient client;
    long count = 0;
    while (Clock::now() < end) {
      if (client.Open(port)) ++count;
      client.Close();
    }
    done.fetch_add(count);
  });
  return static_cast<double>(done.load()) / (NanosecondsBetween(begin, Clock::now()) / 1e9);
}

} // namespace zylbench
