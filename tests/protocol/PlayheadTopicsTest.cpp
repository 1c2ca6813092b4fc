// The live state a button panel shows, end to end: the playhead and sequence topics,
// playhead.get, timeline.pin and the vitals topic's record, through the built module in the
// simulated host and a real socket.
#include "support/EngineHarness.h"
#include "support/TestSockets.h"
#include "support/WsTestClient.h"
#include "timeline/TimelineProjects.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

namespace {

using Json = nlohmann::json;
using namespace zyltest::timeline;
using zyltest::EngineHarness;
using zyltest::Millis;
using zyltest::WsTestClient;

constexpr std::int64_t kTicksPerSecond = 254016000000;
constexpr std::int64_t kTicksPerFrame = kTicksPerSecond / 25;

json SequenceAt25() {
  return {{"ticksPerFrame", kTicksPerFrame},
          {"rect", {0, 0, 1920, 1080}},
          {"par", {1, 1}},
          {"dropFrame", false},
          {"zeroPoint", 0}};
}

json TimelineWithCut(std::int32_t id, const std::string& firstCamera,
                     const std::string& secondCamera) {
  json timeline = Timeline(
      id,
      {Segment(0, kTicksPerSecond, Clip("1", {NestedMulticam(firstCamera)})),
       Segment(kTicksPerSecond, 2 * kTicksPerSecond, Clip("1", {NestedMulticam(secondCamera)}))});
  timeline["sequence"] = SequenceAt25();
  return timeline;
}

// Timeline 1 cuts from angle 2 to angle 3 at one second; timeline 2 from 5 to 6.
json TwoMulticamTimelines() {
  return Project({TimelineWithCut(1, "1", "2"), TimelineWithCut(2, "4", "5")});
}

class PlayheadTopics : public ::testing::Test {
protected:
  void SetUp() override {
    engine_ = std::make_unique<EngineHarness>(TwoMulticamTimelines());
    ASSERT_TRUE(engine_->Started());
  }

  // Opens a JSON-protocol connection holding `topics`; the identified message, null on
  // failure.
  static Json Identify(WsTestClient& client, const std::string& topics) {
    std::string request = zyltest::UpgradeRequest();
    request.insert(request.size() - 2, "Sec-WebSocket-Protocol: zyl.v2\r\n");
    if (!client.Connect() || !client.RawHandshake(request).starts_with("HTTP/1.1 101 "))
      return nullptr;
    if (!client.ReceiveText(Millis(5000), false)) return nullptr; // hello
    client.SendText(R"({"op":"identify","protocol":2,"subscriptions":)" + topics + "}");
    return Json::parse(client.ReceiveText(Millis(5000), false).value_or("null"));
  }

  // The next message; null when none came within `timeout`.
  static Json Next(WsTestClient& client, Millis timeout = Millis(5000)) {
    return Json::parse(client.ReceiveText(timeout, false).value_or("null"));
  }

  // The answer to a request; events that come before it are passed over.
  static Json Ask(WsTestClient& client, const std::string& method, const Json& params = {}) {
    Json request = {{"op", "request"}, {"id", 1}, {"method", method}};
    if (!params.is_null()) request["params"] = params;
    client.SendText(request.dump());
    for (;;) {
      const Json reply = Next(client);
      if (!reply.is_object() || reply.value("op", "") != "event") return reply;
    }
  }

  std::unique_ptr<EngineHarness> engine_;
};

TEST_F(PlayheadTopics, IdentifiedAndSubscribeListEveryTopicInTheProtocolsOrder) {
  WsTestClient client;
  const Json identified =
      Identify(client, R"(["sequence","playhead","vitals","marker","transport"])");
  EXPECT_EQ(identified["subscriptions"],
            Json({"transport", "marker", "vitals", "playhead", "sequence"}));
  WsTestClient later;
  ASSERT_EQ(Identify(later, "[]")["op"], "identified");
  later.SendText(R"({"op":"subscribe","id":1,"topics":["sequence","playhead"]})");
  EXPECT_EQ(Next(later)["result"]["subscriptions"], Json({"playhead", "sequence"}));
}

TEST_F(PlayheadTopics, EachTimecodeBecomesThePositionAndTheCameraOnAir) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, R"(["playhead"])")["op"], "identified");
  ASSERT_TRUE(engine_->Execute("timecode 00:00:01:05"));
  const Json after = Next(client);
  ASSERT_EQ(after["topic"], "playhead") << after;
  EXPECT_EQ(after["data"]["timecode"], "00:00:01:05");
  EXPECT_EQ(after["data"]["displayMode"], 0);
  EXPECT_EQ(after["data"]["timelineID"], 1);
  EXPECT_EQ(after["data"]["ticks"], 30 * kTicksPerFrame);
  EXPECT_EQ(after["data"]["angle"], 3);
  EXPECT_TRUE(after["data"]["ageMs"].is_number_integer()) << after;

  ASSERT_TRUE(engine_->Execute("timecode 00:00:00:10"));
  const Json before = Next(client);
  EXPECT_EQ(before["data"]["ticks"], 10 * kTicksPerFrame) << before;
  EXPECT_EQ(before["data"]["angle"], 2) << before;

  // Text that is no timecode on this sequence keeps the timecode and gives no position.
  ASSERT_TRUE(engine_->Execute("timecode 00:00:00;10"));
  const Json dropFrame = Next(client);
  EXPECT_EQ(dropFrame["data"]["timecode"], "00:00:00;10") << dropFrame;
  EXPECT_TRUE(dropFrame["data"]["ticks"].is_null()) << dropFrame;
  EXPECT_TRUE(dropFrame["data"]["angle"].is_null()) << dropFrame;

  // The same state again is no change: the next push is the next new state.
  ASSERT_TRUE(engine_->Execute("timecode 00:00:00;10"));
  ASSERT_TRUE(engine_->Execute("timecode 00:00:01:00"));
  EXPECT_EQ(Next(client)["data"]["timecode"], "00:00:01:00");
}

TEST_F(PlayheadTopics, AnEditUnderAStillPlayheadChangesTheCameraOnAir) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, R"(["playhead"])")["op"], "identified");
  ASSERT_TRUE(engine_->Execute("timecode 00:00:00:10"));
  ASSERT_EQ(Next(client)["data"]["angle"], 2);
  json edited = TwoMulticamTimelines();
  edited["timelines"][0] = TimelineWithCut(1, "7", "2");
  ASSERT_TRUE(engine_->Execute("set timelines " + edited["timelines"].dump()));
  const Json after = Next(client);
  EXPECT_EQ(after["data"]["timecode"], "00:00:00:10") << after;
  EXPECT_EQ(after["data"]["angle"], 8) << after;
}

TEST_F(PlayheadTopics, PlayheadGetHasNoTimecodeWhileNobodyHoldsThePlayhead) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, R"(["transport"])")["op"], "identified");
  ASSERT_TRUE(engine_->Execute("timecode 00:00:01:05"));
  const Json unheld = Ask(client, "playhead.get");
  EXPECT_EQ(unheld["result"], Json({{"timecode", nullptr},
                                    {"displayMode", nullptr},
                                    {"timelineID", 1},
                                    {"ticks", nullptr},
                                    {"angle", nullptr},
                                    {"ageMs", nullptr}}))
      << unheld;

  WsTestClient panel;
  ASSERT_EQ(Identify(panel, R"(["playhead"])")["op"], "identified");
  ASSERT_TRUE(engine_->Execute("timecode 00:00:01:05"));
  ASSERT_EQ(Next(panel)["topic"], "playhead");
  const Json held = Ask(client, "playhead.get")["result"];
  EXPECT_EQ(held["timecode"], "00:00:01:05");
  EXPECT_EQ(held["angle"], 3);
  const Json onTwo = Ask(client, "playhead.get", {{"timeline", 2}})["result"];
  EXPECT_EQ(onTwo["timelineID"], 2);
  EXPECT_EQ(onTwo["angle"], 6);
  EXPECT_EQ(Ask(client, "playhead.get", {{"timeline", 9}})["error"]["code"], "not_found");
}

TEST_F(PlayheadTopics, PushesAreCoalescedTheNewestWinsAndTheLastIsAlwaysSent) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, R"(["playhead"])")["op"], "identified");
  constexpr int kTimecodes = 40;
  const auto start = std::chrono::steady_clock::now();
  for (int frame = 0; frame < kTimecodes; ++frame) {
    const std::string frames = (frame < 10 ? "0" : "") + std::to_string(frame % 25);
    const std::string seconds = frame < 25 ? "00" : "01";
    ASSERT_TRUE(engine_->Execute("timecode 00:00:" + seconds + ":" + frames));
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const std::string last = "00:00:01:14";
  std::vector<Json> pushes;
  for (Json push = Next(client); push.is_object(); push = Next(client, Millis(500))) {
    pushes.push_back(push["data"]);
    if (push["data"]["timecode"] == last) break;
  }
  ASSERT_FALSE(pushes.empty());
  EXPECT_EQ(pushes.back()["timecode"], last);
  // At most one push each 20 ms while the timecodes came, and one more for the last state.
  const auto slots = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 20;
  EXPECT_LE(static_cast<long long>(pushes.size()), slots + 2) << pushes.size() << " pushes";
  // Never an older state after a newer one.
  for (std::size_t index = 1; index < pushes.size(); ++index)
    EXPECT_LT(pushes[index - 1]["ticks"].get<std::int64_t>(),
              pushes[index]["ticks"].get<std::int64_t>());
}

TEST_F(PlayheadTopics, TheSequenceTopicFollowsThePinAndDropsAPinThatIsGone) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, R"(["sequence"])")["op"], "identified");
  EXPECT_EQ(Next(client)["data"]["timelineID"], 1);
  const Json pinned = Ask(client, "timeline.pin", {{"timeline", 2}});
  EXPECT_EQ(pinned["result"], Json({{"timelineID", 2}})) << pinned;
  const Json onTwo = Next(client);
  EXPECT_EQ(onTwo["topic"], "sequence");
  EXPECT_EQ(onTwo["data"]["timelineID"], 2);
  EXPECT_EQ(onTwo["data"]["ticksPerFrame"], kTicksPerFrame);
  EXPECT_EQ(Ask(client, "timeline.pin", {{"timeline", 9}})["error"]["code"], "not_found");

  // Another project: timeline 2 is gone, the connection falls back to timeline 1.
  ASSERT_TRUE(
      engine_->Execute("set timelines " + Json::array({TimelineWithCut(1, "1", "2")}).dump()));
  const Json fallback = Next(client);
  EXPECT_EQ(fallback["data"]["timelineID"], 1) << fallback;
  EXPECT_EQ(Ask(client, "angle.get", {{"ticks", 0}})["result"]["timelineID"], 1);

  // A change of the sequence's settings is pushed too.
  json faster = TimelineWithCut(1, "1", "2");
  faster["sequence"]["ticksPerFrame"] = kTicksPerSecond / 50;
  ASSERT_TRUE(engine_->Execute("set timelines " + Json::array({faster}).dump()));
  EXPECT_EQ(Next(client)["data"]["ticksPerFrame"], kTicksPerSecond / 50);
}

TEST_F(PlayheadTopics, APinIsTheDefaultOfEveryMethodThatTakesATimeline) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, "[]")["op"], "identified");
  EXPECT_EQ(Ask(client, "angle.get", {{"ticks", 0}})["result"]["angle"], 2);
  ASSERT_EQ(Ask(client, "timeline.pin", {{"timeline", 2}})["result"]["timelineID"], 2);
  EXPECT_EQ(Ask(client, "angle.get", {{"ticks", 0}})["result"]["angle"], 5);
  EXPECT_EQ(Ask(client, "sequence.get")["result"]["timelineID"], 2);
  EXPECT_EQ(Ask(client, "angle.get", {{"ticks", 0}, {"timeline", 1}})["result"]["angle"], 2);
  // Another connection is not pinned.
  WsTestClient other;
  ASSERT_EQ(Identify(other, "[]")["op"], "identified");
  EXPECT_EQ(Ask(other, "sequence.get")["result"]["timelineID"], 1);
  ASSERT_EQ(Ask(client, "timeline.pin", {{"timeline", nullptr}})["result"],
            Json({{"timelineID", nullptr}}));
  EXPECT_EQ(Ask(client, "sequence.get")["result"]["timelineID"], 1);
  EXPECT_EQ(Ask(client, "timeline.pin")["error"]["param"], "timeline");

  // Another project without the pinned timeline: the pin is dropped, not a not_found for good.
  ASSERT_EQ(Ask(client, "timeline.pin", {{"timeline", 2}})["result"]["timelineID"], 2);
  ASSERT_TRUE(
      engine_->Execute("set timelines " + Json::array({TimelineWithCut(1, "1", "2")}).dump()));
  EXPECT_EQ(Ask(client, "sequence.get")["result"]["timelineID"], 1);
  EXPECT_EQ(Ask(client, "angle.get", {{"ticks", 0}})["result"]["angle"], 2);
}

TEST_F(PlayheadTopics, TheVitalsTopicPushesVitalsGetsShape) {
  WsTestClient client;
  ASSERT_EQ(Identify(client, R"(["vitals"])")["op"], "identified");
  const Json pushed = Next(client);
  ASSERT_EQ(pushed["topic"], "vitals") << pushed;
  const Json& data = pushed["data"];
  // No timecode came and the project has no mixer: null, as vitals.get gives them.
  for (const char* member : {"timecode", "speed", "tracks", "audioPeakDb"})
    EXPECT_TRUE(data[member].is_null()) << member << " in " << data;
  const Json got = Ask(client, "vitals.get")["result"];
  for (const auto& [member, value] : got.items())
    EXPECT_TRUE(data.contains(member)) << member;
  EXPECT_EQ(got.size(), data.size());
}

// The playhead thread may be in a slow host's calls, or in the first scan for timelines,
// when the host detaches: the stop still comes within the bound every engine thread keeps.
TEST(PlayheadThread, ADetachDoesNotWaitForASlowHostsDerivation) {
  json project = TwoMulticamTimelines();
  project["probeDelayNs"] = 50'000'000;
  EngineHarness engine(project);
  ASSERT_TRUE(engine.Started());
  WsTestClient client;
  std::string request = zyltest::UpgradeRequest();
  request.insert(request.size() - 2, "Sec-WebSocket-Protocol: zyl.v2\r\n");
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.RawHandshake(request).starts_with("HTTP/1.1 101 "));
  ASSERT_TRUE(client.ReceiveText(Millis(5000), false)); // hello
  client.SendText(R"({"op":"identify","protocol":2,"subscriptions":["playhead","sequence"]})");
  ASSERT_TRUE(client.ReceiveText(Millis(5000), false)); // identified
  ASSERT_TRUE(engine.Execute("timecode 00:00:01:05"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(engine.Execute("detach"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(engine.Shutdown()) << "the ledger is not balanced";
}

} // namespace
