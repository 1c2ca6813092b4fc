#include "support/InProcessEngine.h"
#include "support/WsTestClient.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ZYL {
namespace {

using Clock = std::chrono::steady_clock;
using zyltest::Millis;

constexpr std::string_view kRecordPrefix = "vitals:";

nlohmann::json LoopProject() {
  return {
      {"mixer", {{"tracks", 2}, {"meterSource", 1}, {"peaksDb", {-6.0}}}},
      {"timelines",
       {{{"id", 4}, {"segments", {{{"start", 0}, {"end", 1000}, {"root", {{"kind", "Clip"}}}}}}}}}};
}

bool IsRecord(const std::string& text) { return text.rfind(kRecordPrefix, 0) == 0; }

// Texts up to and including the first record, or nothing when none comes in time.
std::optional<std::vector<std::string>> ReadThroughRecord(zyltest::WsTestClient& client,
                                                          Millis timeout = Millis(5000)) {
  std::vector<std::string> texts;
  while (auto text = client.ReceiveText(timeout, /*skipPushes=*/false)) {
    texts.push_back(*text);
    if (IsRecord(*text)) return texts;
  }
  return std::nullopt;
}

// Opens a connection, subscribes it and waits for its first record, so that the
// subscription is known to be registered.
void Subscribe(zyltest::WsTestClient& client) {
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.SendText("vitals.subscribe"));
  const auto texts = ReadThroughRecord(client);
  ASSERT_TRUE(texts.has_value()) << "no record after subscribing";
  EXPECT_TRUE(nlohmann::json::accept(texts->back().substr(kRecordPrefix.size())));
}

// Publishes texts back to back, the way several host notifications land between two passes.
void PublishAll(ZYLEngineControlSurface& surface, const std::vector<std::string>& texts) {
  for (const std::string& text : texts)
    surface.vitals.PublishEvent(text);
}

TEST(VitalsLoop, NothingIsPushedUntilAClientSubscribes) {
  zyltest::InProcessEngine engine(LoopProject());
  zyltest::WsTestClient client;
  ASSERT_TRUE(client.Open());
  engine.surface().vitals.PublishEvent("event:transport:{\"type\":\"play\",\"on\":true}");
  EXPECT_FALSE(client.ReceiveFrame(Millis(2500)).has_value());

  ASSERT_TRUE(client.SendText("vitals.subscribe"));
  const auto texts = ReadThroughRecord(client);
  ASSERT_TRUE(texts.has_value());
  EXPECT_EQ(texts->size(), 1u) << "an event raised before the subscription was delivered";
  const auto record = nlohmann::json::parse(texts->back().substr(kRecordPrefix.size()));
  EXPECT_EQ(record["cuts"], 1);
  EXPECT_EQ(record["tracks"], 2);
}

TEST(VitalsLoop, EventsReachEverySubscriberInQueueOrderBeforeTheRecord) {
  zyltest::InProcessEngine engine(LoopProject());
  zyltest::WsTestClient first;
  zyltest::WsTestClient second;
  Subscribe(first);
  Subscribe(second);
  const std::vector<std::string> events = {"event:marker:{\"type\":\"rebuild\",\"count\":1}",
                                           "event:marker:{\"type\":\"rebuild\",\"count\":2}"};
  PublishAll(engine.surface(), events);

  for (zyltest::WsTestClient* client : {&first, &second}) {
    // Records of earlier passes may still be waiting to be read.
    std::optional<std::string> text;
    do {
      text = client->ReceiveText(Millis(5000), /*skipPushes=*/false);
    } while (text && IsRecord(*text));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, events[0]);
    const auto rest = ReadThroughRecord(*client);
    ASSERT_TRUE(rest.has_value());
    EXPECT_EQ(*rest, (std::vector<std::string>{events[1], rest->back()}));
  }
}

// A queue far larger than one send: the frames go out in several blocks, and none may be
// lost, doubled, cut or reordered where one block ends and the next begins, nor around a
// frame larger than a block.
TEST(VitalsLoop, AQueueOfManySendsWorthReachesEverySubscriberWholeAndInOrder) {
  zyltest::InProcessEngine engine(LoopProject());
  zyltest::WsTestClient first;
  zyltest::WsTestClient second;
  Subscribe(first);
  Subscribe(second);
  std::vector<std::string> events;
  for (int i = 0; i < 3000; ++i) // 7-bit and 16-bit length forms, about 500 KB in all
    events.push_back("event:bulk:" + std::to_string(i) + ":" + std::string(i % 300, 'x'));
  events.insert(events.begin() + 1500, "event:bulk:large:" + std::string(70000, 'y'));
  PublishAll(engine.surface(), events);

  for (zyltest::WsTestClient* client : {&first, &second}) {
    std::vector<std::string> received;
    // Records keep coming once a second, so the wait for missing events is bounded as a whole.
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (received.size() < events.size() && Clock::now() < deadline) {
      const auto text = client->ReceiveText(Millis(10000), /*skipPushes=*/false);
      if (!text) break;
      if (!IsRecord(*text)) received.push_back(*text);
    }
    ASSERT_EQ(received.size(), events.size());
    for (std::size_t i = 0; i < events.size(); ++i)
      ASSERT_EQ(received[i], events[i]) << "event " << i;
  }
}

TEST(VitalsLoop, AtMostOneRecordPer900MillisecondsUnderAnEventBurst) {
  zyltest::InProcessEngine engine(LoopProject());
  zyltest::WsTestClient client;
  // Every record counted below was sent after this moment, each 900 ms after the one before.
  const Clock::time_point subscribed = Clock::now();
  Subscribe(client);
  int records = 1;

  constexpr int kEvents = 600; // one every 5 ms for about three seconds
  std::thread publisher([&] {
    for (int i = 0; i < kEvents; ++i) {
      engine.surface().vitals.PublishEvent("event:burst:" + std::to_string(i));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  int received = 0;
  while (received < kEvents) {
    const auto text = client.ReceiveText(Millis(5000), /*skipPushes=*/false);
    if (!text) break;
    if (IsRecord(*text)) {
      ++records;
    } else {
      EXPECT_EQ(*text, "event:burst:" + std::to_string(received));
      ++received;
    }
  }
  publisher.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - subscribed).count();
  EXPECT_EQ(received, kEvents);
  EXPECT_LE(records, static_cast<int>(seconds / 0.9) + 1) << "over " << seconds << " s";
  EXPECT_GE(records, 2) << "records stopped during the burst";
}

} // namespace
} // namespace ZYL
