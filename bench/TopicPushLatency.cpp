#include "TopicPushLatency.h"

#include "BenchClient.h"
#include "Measures.h"
#include "Stats.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zylbench {

namespace {

constexpr auto kPushWait = std::chrono::milliseconds(1000);
// Notifications before the measured ones, not counted: the first one of a fresh engine finds
// the host's timelines (a scan of every id) before it can read a timecode against one.
constexpr int kWarmUp = 10;

// The simulator line of notification `index`, and what its push carries.
struct Notification {
  std::string line;
  std::string pushed; // a piece of the push's text that only this notification's push has
};

// A distinct timecode each (frames at 25 a second), or play on and off in turn.
Notification NotificationOf(PushedTopic topic, int index) {
  if (topic == PushedTopic::Transport) {
    const bool on = index % 2 == 0;
    return {on ? "play on" : "play off",
            on ? "\"type\":\"play\",\"on\":true" : "\"type\":\"play\",\"on\":false"};
  }
  char text[32];
  std::snprintf(text, sizeof text, "00:%02d:%02d:%02d", index / 1500 % 60, index / 25 % 60,
                index % 25);
  return {std::string("timecode ") + text, std::string("\"timecode\":\"") + text + "\""};
}

std::string_view TopicName(PushedTopic topic) {
  return topic == PushedTopic::Playhead ? "[\"playhead\"]" : "[\"transport\"]";
}

} // namespace

PushFigures TopicPushLatencySamples(zylsim::Simulator& sim, std::uint16_t port, PushedTopic topic,
                                    int subscribers, int events,
                                    std::chrono::milliseconds spacing) {
  PushFigures figures;
  std::vector<std::unique_ptr<BenchClient>> clients;
  for (int i = 0; i < subscribers; ++i) {
    auto client = std::make_unique<BenchClient>();
    if (!client->OpenJson(port, TopicName(topic))) return figures;
    clients.push_back(std::move(client));
  }
  std::vector<Notification> notifications;
  events += kWarmUp;
  for (int i = 0; i < events; ++i)
    notifications.push_back(NotificationOf(topic, i));

  std::vector<Clock::time_point> sentAt(static_cast<std::size_t>(events));
  std::atomic<int> published{-1}; // index of the last notification whose time stamp is set
  std::atomic<int> arrivals{0};
  std::mutex samplesLock;
  std::thread host([&] {
    auto next = Clock::now();
    for (int i = 0; i < events; ++i) {
      std::this_thread::sleep_until(next);
      next += spacing;
      const int before = arrivals.load();
      sentAt[static_cast<std::size_t>(i)] = Clock::now();
      published.store(i);
      sim.Execute(notifications[static_cast<std::size_t>(i)].line);
      const Clock::time_point deadline = Clock::now() + kPushWait;
      while (arrivals.load() < before + subscribers && Clock::now() < deadline)
        std::this_thread::yield();
    }
  });
  RunOnThreads(subscribers, [&](int index) {
    BenchClient& client = *clients[static_cast<std::size_t>(index)];
    std::vector<double> mine;
    std::string text;
    for (int seen = 0; seen < events && client.ReceiveText(text);) {
      const Clock::time_point now = Clock::now();
      const int event = published.load();
      if (event < 0) continue;
      const std::string& pushed = notifications[static_cast<std::size_t>(event)].pushed;
      if (text.find(pushed) == std::string::npos) continue; // an older state, or no such push
      if (event >= seen && event >= kWarmUp)
        mine.push_back(NanosecondsBetween(sentAt[static_cast<std::size_t>(event)], now));
      seen = event + 1;
      arrivals.fetch_add(1);
    }
    const std::lock_guard<std::mutex> lock(samplesLock);
    figures.samples.insert(figures.samples.end(), mine.begin(), mine.end());
  });
  host.join();
  return figures;
}

} // namespace zylbench
