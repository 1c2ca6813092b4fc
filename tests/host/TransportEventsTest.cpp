// The host's transport and marker notifications on a surface whose events go to a recorder,
// so the published texts can be read back in order.
#include "Simulator.h"
#include "host/ScopedSuite.h"
#include "plugin/ZYLEngineControlSurface.h"
#include "support/EngineHarness.h"

#include <chrono>
#include <gtest/gtest.h>

namespace zyltest {
namespace {

using hostsdk::kSuccess;

std::int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class TransportEvents : public testing::Test {
protected:
  explicit TransportEvents(nlohmann::json project = nlohmann::json::object())
      : sim(std::move(project), [](const std::string&) {}), surface(sim.BasicSuite()) {
    surface.events = &recorder;
  }

  // Records what is published while someone subscribes, as the publisher queues it.
  class EventRecorder final : public ZYL::EventSink {
  public:
    bool HasSubscribers() const noexcept override { return subscribed; }
    void PublishEvent(const std::string& text) noexcept override {
      if (subscribed) events.push_back(text);
    }
    bool subscribed = false;
    std::vector<std::string> events;
  };

  void Subscribe() { recorder.subscribed = true; }
  std::vector<std::string> Queued() const { return recorder.events; }

  zylsim::Simulator sim;
  EventRecorder recorder;
  ZYL::ZYLEngineControlSurface surface;
};

TEST_F(TransportEvents, PlayThenPauseStopsPlayingAndPushesBothInOrder) {
  Subscribe();
  EXPECT_EQ(surface.OnPlay(true), kSuccess);
  EXPECT_EQ(surface.OnPause(true), kSuccess);
  EXPECT_FALSE(surface.transport.playing.load());
  EXPECT_TRUE(surface.transport.paused.load());
  EXPECT_EQ(Queued(), (std::vector<std::string>{R"(event:transport:{"type":"play","on":true})",
                                                R"(event:transport:{"type":"pause","on":true})"}));
}

TEST_F(TransportEvents, StopOffKeepsPlayingAndStopOnEndsIt) {
  Subscribe();
  surface.OnPlay(true);
  surface.OnStop(false);
  EXPECT_TRUE(surface.transport.playing.load());
  surface.OnStop(true);
  EXPECT_FALSE(surface.transport.playing.load());
  surface.OnPause(false); // a released pause does not stop playback
  EXPECT_FALSE(surface.transport.paused.load());
  const std::vector<std::string> queued = Queued();
  ASSERT_EQ(queued.size(), 4u);
  EXPECT_EQ(queued[1], R"(event:transport:{"type":"stop","on":false})");
  EXPECT_EQ(queued[2], R"(event:transport:{"type":"stop","on":true})");
  EXPECT_EQ(queued[3], R"(event:transport:{"type":"pause","on":false})");
}

TEST_F(TransportEvents, EachToggleSetsItsFlagAndNamesItsType) {
  Subscribe();
  surface.OnRecord(true);
  surface.OnRewind(true);
  surface.OnFastForward(true);
  EXPECT_TRUE(surface.transport.recording.load());
  EXPECT_TRUE(surface.transport.rewind.load());
  EXPECT_TRUE(surface.transport.ffwd.load());
  surface.OnFastForward(false);
  EXPECT_FALSE(surface.transport.ffwd.load());
  EXPECT_EQ(surface.OnAuxiliaryToggle(true), kSuccess);
  EXPECT_EQ(Queued(), (std::vector<std::string>{R"(event:transport:{"type":"record","on":true})",
                                                R"(event:transport:{"type":"rewind","on":true})",
                                                R"(event:transport:{"type":"ffwd","on":true})",
                                                R"(event:transport:{"type":"ffwd","on":false})"}));
}

TEST_F(TransportEvents, WithoutSubscribersStateChangesButNothingIsQueued) {
  surface.OnPlay(true);
  surface.OnMarkersRebuilt();
  surface.OnMarkerChanged(1);
  EXPECT_TRUE(surface.transport.playing.load());
  EXPECT_TRUE(Queued().empty());
}

TEST_F(TransportEvents, MarkerEventsWithoutAMarkerSuiteCountMinusOne) {
  Subscribe();
  surface.OnMarkerChanged(4294967295u);
  surface.OnMarkersRebuilt();
  EXPECT_EQ(Queued(), (std::vector<std::string>{
                          R"(event:marker:{"type":"changed","index":4294967295,"count":-1})",
                          R"(event:marker:{"type":"rebuild","count":-1})"}));
}

// Attached without the Transport and Command suites: the Marker suite is held, no server runs.
nlohmann::json MarkerOnlyProject(nlohmann::json extra) {
  nlohmann::json project = {
      {"hostMarkerCount", 12},
      {"unavailableSuites", {hostsdk::kHostTransportSuiteName, hostsdk::kHostCommandSuiteName}}};
  project.update(extra);
  return project;
}

class MarkerEvents : public TransportEvents {
protected:
  explicit MarkerEvents(nlohmann::json extra = nlohmann::json::object())
      : TransportEvents(MarkerOnlyProject(std::move(extra))) {
    surface.AttachHost(1);
    Subscribe();
  }
  ~MarkerEvents() override {
    surface.AttachHost(0);
    EXPECT_TRUE(sim.LedgerBalanced()) << sim.LedgerJson().dump();
  }
};

TEST_F(MarkerEvents, CarryTheHostsMarkerCount) {
  ASSERT_NE(surface.host.markerSuite, nullptr);
  surface.OnMarkersRebuilt();
  surface.OnMarkerChanged(0);
  EXPECT_EQ(Queued(),
            (std::vector<std::string>{R"(event:marker:{"type":"rebuild","count":12})",
                                      R"(event:marker:{"type":"changed","index":0,"count":12})"}));
}

class FailingMarkerCount : public MarkerEvents {
protected:
  FailingMarkerCount()
      : MarkerEvents(
            {{"failingCalls",
              {{{"suite", hostsdk::kHostMarkerSuiteName}, {"position", 0}, {"status", 1}}}}}) {}
};

TEST_F(FailingMarkerCount, StillPushesWithCountMinusOne) {
  ASSERT_NE(surface.host.markerSuite, nullptr);
  surface.OnMarkersRebuilt();
  EXPECT_EQ(Queued(), std::vector<std::string>{R"(event:marker:{"type":"rebuild","count":-1})"});
}

class Timecode : public TransportEvents {
protected:
  Timecode() : strings(sim.BasicSuite(), hostsdk::kStringSuiteName, 1) {
    surface.host.stringSuite = strings.get();
  }
  ~Timecode() override { surface.host.stringSuite = nullptr; }

  // Delivers `text` as a host string, disposed afterwards as the host would.
  hostsdk::ErrorCode Deliver(std::int32_t mode, const std::string& text) {
    hostsdk::HostString value{};
    EXPECT_EQ(strings->AllocateFromUtf8(text.c_str(), &value), kSuccess);
    const hostsdk::ErrorCode result = surface.OnTimecode(mode, &value);
    strings->DisposeString(&value);
    return result;
  }

  std::string Stored() const { return surface.transport.Timecode().text; }

  ZYL::ScopedSuite<hostsdk::StringSuite1> strings;
};

TEST_F(Timecode, SixtyThreeBytesAreStoredWholeWithModeAndTime) {
  ASSERT_TRUE(strings);
  Subscribe();
  const std::string text(63, '7');
  const std::int64_t before = SteadyNow();
  EXPECT_EQ(Deliver(3, text), kSuccess);
  const std::int64_t after = SteadyNow();
  const ZYL::TimecodeReading stored = surface.transport.Timecode();
  EXPECT_EQ(stored.text, text);
  EXPECT_EQ(stored.displayMode, 3);
  EXPECT_GE(stored.stamp, before);
  EXPECT_LE(stored.stamp, after);
}

TEST_F(Timecode, IsIgnoredWithoutSubscriberNullTextOrWhenItDoesNotFit) {
  ASSERT_TRUE(strings);
  EXPECT_EQ(Deliver(1, "00:00:01:00"), kSuccess);
  EXPECT_EQ(Stored(), "");
  EXPECT_EQ(surface.transport.Timecode().stamp, 0);

  Subscribe();
  EXPECT_EQ(Deliver(1, "00:00:02:00"), kSuccess);
  EXPECT_EQ(surface.OnTimecode(2, nullptr), kSuccess);
  EXPECT_EQ(Deliver(2, std::string(64, '9')), kSuccess); // 65 bytes with the terminator
  EXPECT_EQ(Stored(), "00:00:02:00");
  EXPECT_EQ(surface.transport.Timecode().displayMode, 1);

  surface.host.stringSuite = nullptr;
  EXPECT_EQ(Deliver(2, "00:00:03:00"), kSuccess);
  EXPECT_EQ(Stored(), "00:00:02:00");
}

// The same texts end to end: the simulator delivers the notifications through the module's
// registered suites and a subscribed client receives them in order.
TEST(TransportEventsEndToEnd, ReachASubscribedClientInOrder) {
  EngineHarness engine(nlohmann::json{{"hostMarkerCount", 12}});
  ASSERT_TRUE(engine.Started());
  WsTestClient client;
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.SendText("vitals.subscribe"));
  // Commands run in order, so once this is answered the subscription is in place.
  ASSERT_TRUE(client.SendText("get.version"));
  ASSERT_TRUE(client.ReceiveText().has_value());

  for (const char* line :
       {"play on", "pause on", "stop off", "marker-changed 4294967295", "markers-rebuilt"})
    ASSERT_TRUE(engine.Execute(line)) << line;
  std::vector<std::string> events;
  while (events.size() < 5) {
    const std::optional<std::string> text = client.ReceiveText(Millis(5000), false);
    if (!text) break;
    if (text->rfind("event:", 0) == 0) events.push_back(*text);
  }
  EXPECT_EQ(events, (std::vector<std::string>{
                        R"(event:transport:{"type":"play","on":true})",
                        R"(event:transport:{"type":"pause","on":true})",
                        R"(event:transport:{"type":"stop","on":false})",
                        R"(event:marker:{"type":"changed","index":4294967295,"count":12})",
                        R"(event:marker:{"type":"rebuild","count":12})"}));
  client.Close();
  EXPECT_TRUE(engine.Shutdown());
}

} // namespace
} // namespace zyltest
