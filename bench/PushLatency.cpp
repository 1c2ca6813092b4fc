#include "PushLatency.h"

#include "BenchClient.h"
#include "Measures.h"
#include "Stats.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace zylbench {

namespace {

constexpr std::string_view kPlayEvent = "event:transport:{\"type\":\"play\"";
constexpr auto kEventWait = std::chrono::milliseconds(1000);
// Events spaced out so that each measures one wake-up of the publisher, not a queue.
constexpr auto kEventSpacing = std::chrono::milliseconds(3);
constexpr auto kSlowReadPause = std::chrono::milliseconds(20);

// A subscribed connection; the version reply proves the subscription before it was handled.
std::unique_ptr<BenchClient> Subscriber(std::uint16_t port, bool slow) {
  static const std::string subscribe = MaskedTextFrame("vitals.subscribe");
  static const std::string version = MaskedTextFrame("get.version");
  auto client = std::make_unique<BenchClient>();
  if (!client->Open(port)) return nullptr;
  if (slow) client->ShrinkReceiveBuffer();
  if (!client->Send(subscribe) || !client->RoundTrip(version, 1)) return nullptr;
  return client;
}

} // namespace

PushFigures PushLatencySamples(zylsim::Simulator& sim, std::uint16_t port, int subscribers,
                               int events, int slowReaders) {
  PushFigures figures;
  std::vector<std::unique_ptr<BenchClient>> clients, slow;
  for (int i = 0; i < subscribers + slowReaders; ++i) {
    std::unique_ptr<BenchClient> client = Subscriber(port, i >= subscribers);
    if (client == nullptr) return figures;
    (i < subscribers ? clients : slow).push_back(std::move(client));
  }
  std::atomic<bool> done{false};
  std::atomic<int> cutOff{0};
  std::thread slowReading([&] {
    RunOnThreads(slowReaders, [&](int index) {
      BenchClient& client = *slow[static_cast<std::size_t>(index)];
      std::string text;
      while (!done.load()) {
        if (!client.ReceiveText(text)) {
          if (!done.load()) cutOff.fetch_add(1);
          return;
        }
        std::this_thread::sleep_for(kSlowReadPause);
      }
    });
  });

  std::vector<Clock::time_point> sentAt(static_cast<std::size_t>(events));
  std::atomic<int> published{-1}; // index of the last event whose time stamp is set
  std::atomic<int> arrivals{0};
  std::mutex samplesLock;
  std::thread host([&] {
    for (int i = 0; i < events; ++i) {
      const int before = arrivals.load();
      sentAt[static_cast<std::size_t>(i)] = Clock::now();
      published.store(i);
      sim.Execute(i % 2 == 0 ? "play on" : "play off");
      const Clock::time_point deadline = Clock::now() + kEventWait;
      while (arrivals.load() < before + subscribers && Clock::now() < deadline)
        std::this_thread::yield();
      std::this_thread::sleep_for(kEventSpacing);
    }
  });
  RunOnThreads(subscribers, [&](int index) {
    BenchClient& client = *clients[static_cast<std::size_t>(index)];
    std::vector<double> mine;
    std::string text;
    for (int seen = 0; seen < events && client.ReceiveText(text);) {
      if (text.compare(0, kPlayEvent.size(), kPlayEvent) != 0) continue; // vitals records
      const Clock::time_point now = Clock::now();
      const int event = published.load();
      if (event == seen)
        mine.push_back(NanosecondsBetween(sentAt[static_cast<std::size_t>(event)], now));
      seen = event + 1;
      arrivals.fetch_add(1);
    }
    const std::lock_guard<std::mutex> lock(samplesLock);
    figures.samples.insert(figures.samples.end(), mine.begin(), mine.end());
  });
  host.join();
  done.store(true);
  // A waiting slow reader sees the stop with the next vitals record, within a second.
  slowReading.join();
  figures.slowReadersCutOff = cutOff.load();
  return figures;
}

} // namespace zylbench
