#include "vitals/BuildVitalsRecord.h"

#include "host/SteadyClock.h"
#include "support/InProcessEngine.h"

#include <chrono>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

namespace ZYL {
namespace {

using nlohmann::json;

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::string_view kPrefix = "vitals:";

json Segment(std::int64_t start, std::int64_t end) {
  return {{"start", start}, {"end", end}, {"root", {{"kind", "RenderableNodeClipImpl"}}}};
}

json Timeline(std::int32_t id, int segments, int markers) {
  json timeline = {{"id", id}, {"segments", json::array()}, {"markers", json::array()}};
  for (int i = 0; i < segments; ++i)
    timeline["segments"].push_back(Segment(i * 1000, (i + 1) * 1000));
  for (int i = 0; i < markers; ++i)
    timeline["markers"].push_back({{"name", "m"}, {"time", i}});
  return timeline;
}

json RecordProject() {
  return {{"hostMarkerCount", 0},
          {"solo", true},
          {"mixer", {{"tracks", 4}, {"meterSource", 1}, {"peaksDb", {-6.0, -2.5, -9.5}}}},
          {"timelines", {Timeline(3, 2, 2), Timeline(8, 5, 1)}}};
}

// Builds records the way the vitals thread does, one simulated second apart.
class RecordBuilder {
public:
  explicit RecordBuilder(const json& project)
      : engine_(project), now_(SteadyNanoseconds()), state_(InitialVitalsState(now_)) {}

  ~RecordBuilder() {
    engine_.Detach();
    EXPECT_TRUE(engine_.sim().LedgerBalanced()) << engine_.sim().LedgerJson().dump();
  }

  json Next(std::int64_t advance = kSecond) {
    now_ += advance;
    const std::string record = BuildVitalsRecord(
        VitalsSources{surface().host, surface().transport, surface().timelines}, state_, now_);
    EXPECT_EQ(record.substr(0, kPrefix.size()), kPrefix);
    return json::parse(record.substr(kPrefix.size()));
  }

  void Execute(const std::string& line) { ASSERT_TRUE(engine_.sim().Execute(line)) << line; }
  ZYLEngineControlSurface& surface() { return engine_.surface(); }

  void SetTimecode(const std::string& text, std::int32_t mode, std::int64_t stamp) {
    surface().transport.SetTimecode(text, mode, stamp);
  }

private:
  zyltest::InProcessEngine engine_;
  std::int64_t now_;
  VitalsState state_;
};

TEST(BuildVitalsRecord, ReportsTransportTimecodeAndHostState) {
  RecordBuilder builder(RecordProject());
  builder.surface().transport.paused = true;
  builder.surface().transport.ffwd = true;
  builder.SetTimecode("00:00:10:00", 3, 5 * kSecond);
  builder.Next();
  builder.SetTimecode("00:00:12:00", 3, 6 * kSecond);
  const json record = builder.Next();
  EXPECT_EQ(record["playing"], false);
  EXPECT_EQ(record["paused"], true);
  EXPECT_EQ(record["recording"], false);
  EXPECT_EQ(record["ffwd"], true);
#ifdef _WIN32
  EXPECT_GE(record["idleSec"].get<int>(), 0); // the system's real idle time
#else
  EXPECT_EQ(record["idleSec"], 0); // no source of user input on POSIX
#endif
  EXPECT_DOUBLE_EQ(record["speed"].get<double>(), 2.0);
  EXPECT_EQ(record["timecode"], "00:00:12:00");
  EXPECT_EQ(record["displayMode"], 3);
  EXPECT_EQ(record["cuts"], 2);    // the first timeline found becomes the record's
  EXPECT_EQ(record["markers"], 3); // over both known timelines
  EXPECT_EQ(record["tracks"], 4);
  EXPECT_EQ(record["soloActive"], true);
  EXPECT_EQ(builder.surface().timelines.CurrentTimeline(), 3);
}

TEST(BuildVitalsRecord, AudioPeakOnlyWhilePlayingFromOneToThirtyTwoChannels) {
  RecordBuilder builder(RecordProject());
  EXPECT_EQ(builder.Next()["audioPeakDb"], -999.0);
  builder.surface().transport.playing = true;
  EXPECT_DOUBLE_EQ(builder.Next()["audioPeakDb"].get<double>(), -2.5);

  json mixer = {{"tracks", 4}, {"meterSource", 1}, {"peaksDb", json::array()}};
  for (int channel = 0; channel < 32; ++channel)
    mixer["peaksDb"].push_back(-40.0 + channel);
  builder.Execute("set mixer " + mixer.dump());
  EXPECT_DOUBLE_EQ(builder.Next()["audioPeakDb"].get<double>(), -9.0);

  mixer["peaksDb"].push_back(0.0);
  builder.Execute("set mixer " + mixer.dump());
  EXPECT_EQ(builder.Next()["audioPeakDb"], -999.0); // 33 channels

  builder.Execute(R"(set mixer {"tracks": 2, "meterSource": 0, "peaksDb": [-1.0]})");
  EXPECT_EQ(builder.Next()["audioPeakDb"], -999.0); // no meter source
  builder.Execute(R"(set mixer {"tracks": 2, "meterSource": 1, "peaksDb": []})");
  EXPECT_EQ(builder.Next()["audioPeakDb"], -999.0); // no channels
}

TEST(BuildVitalsRecord, MarkerTotalAddsTheHostCount) {
  RecordBuilder builder(RecordProject());
  EXPECT_EQ(builder.Next()["markers"], 3);
  builder.Execute("set hostMarkerCount 12");
  EXPECT_EQ(builder.Next()["markers"], 15);
  // The host's count is as wide as the field; the sum saturates instead of wrapping.
  builder.Execute("set hostMarkerCount 2147483647");
  EXPECT_EQ(builder.Next()["markers"], 2147483647);
}

TEST(BuildVitalsRecord, MarkersNeedVersionThreeOfTheMarkerSuite) {
  json project = RecordProject();
  project["unavailableSuites"] = {"Marker Suite@3"};
  project["hostMarkerCount"] = 5;
  RecordBuilder builder(project);
  EXPECT_EQ(builder.Next()["markers"], 5);
  builder.Execute("set hostMarkerCount 0");
  EXPECT_EQ(builder.Next()["markers"], -1);
}

TEST(BuildVitalsRecord, EveryHostFieldDegradesWhenItsSuiteIsMissing) {
  json project = RecordProject();
  project["hostMarkerCount"] = 7;
  project["unavailableSuites"] = {
      "HOSTSDK ControlSurfaceHost Mixer Suite", "HOSTSDK ControlSurfaceHost Transport Suite",
      "HOSTSDK ControlSurfaceHost Marker Suite", "Media Video Segment Suite", "Marker Suite"};
  RecordBuilder builder(project);
  builder.surface().transport.playing = true;
  const json record = builder.Next();
  EXPECT_EQ(record["cuts"], -1);
  EXPECT_EQ(record["cutsChanged"], false);
  EXPECT_EQ(record["edited"], false);
  EXPECT_EQ(record["seqChanged"], false);
  EXPECT_EQ(record["markers"], -1);
  EXPECT_EQ(record["tracks"], -1);
  EXPECT_EQ(record["audioPeakDb"], -999.0);
  EXPECT_EQ(record["soloActive"], false);
}

TEST(BuildVitalsRecord, FailingCallsDegradeTheirFieldsOnly) {
  json project = RecordProject();
  project["failingCalls"] = {
      {{"suite", "Media Video Segment Suite"}, {"position", 5}, {"status", 1}},
      {{"suite", "HOSTSDK ControlSurfaceHost Mixer Suite"}, {"position", 2}, {"status", 1}},
      {{"suite", "HOSTSDK ControlSurfaceHost Mixer Suite"}, {"position", 17}, {"status", 1}},
      {{"suite", "HOSTSDK ControlSurfaceHost Transport Suite"}, {"position", 20}, {"status", 1}}};
  RecordBuilder builder(project);
  builder.surface().transport.playing = true;
  const json record = builder.Next();
  EXPECT_EQ(record["cuts"], -1);
  EXPECT_EQ(record["markers"], 3);
  EXPECT_EQ(record["tracks"], -1);
  EXPECT_EQ(record["audioPeakDb"], -999.0);
  EXPECT_EQ(record["soloActive"], false);
}

TEST(BuildVitalsRecord, EditsCutsAndSwitchesShowInTheFlags) {
  RecordBuilder builder(RecordProject());
  json record = builder.Next();
  EXPECT_EQ(record["cuts"], 2);
  EXPECT_EQ(record["edited"], false);

  builder.Execute("edit 3");
  record = builder.Next();
  EXPECT_EQ(record["edited"], true);
  EXPECT_EQ(record["cutsChanged"], false);
  EXPECT_EQ(builder.Next()["edited"], false);

  builder.Execute("cut 3 500");
  record = builder.Next();
  EXPECT_EQ(record["cuts"], 3);
  EXPECT_EQ(record["cutsChanged"], true);
  EXPECT_EQ(record["edited"], true);

  builder.surface().timelines.SetCurrentTimeline(8);
  record = builder.Next();
  EXPECT_EQ(record["cuts"], 5);
  EXPECT_EQ(record["seqChanged"], true);
  EXPECT_EQ(record["cutsChanged"], false);
  EXPECT_EQ(record["edited"], false);

  // An edit within the first record after the switch is still seen.
  builder.Execute("edit 8");
  record = builder.Next();
  EXPECT_EQ(record["seqChanged"], false);
  EXPECT_EQ(record["edited"], true);
}

TEST(BuildVitalsRecord, TimelineThatStopsAnsweringIsDropped) {
  RecordBuilder builder(RecordProject());
  EXPECT_EQ(builder.Next()["cuts"], 2);
  builder.Execute("set timelines " + json::array({Timeline(8, 5, 1)}).dump());
  const json record = builder.Next();
  EXPECT_EQ(record["cuts"], -1);
  EXPECT_EQ(record["seqChanged"], false);
  EXPECT_EQ(builder.surface().timelines.CurrentTimeline(), -1);
}

TEST(BuildVitalsRecord, RescanIsForcedAtMostOnceAMinute) {
  json project = RecordProject();
  project.erase("timelines");
  RecordBuilder builder(project);
  EXPECT_EQ(builder.Next()["cuts"], -1); // the first record forces a scan that finds nothing
  builder.Execute("set timelines " + json::array({Timeline(8, 5, 1)}).dump());
  // Let the scan grow stale, so that only the once-a-minute rule holds the next one back.
  std::this_thread::sleep_for(std::chrono::milliseconds(5100));
  EXPECT_EQ(builder.Next(30 * kSecond)["cuts"], -1);
  EXPECT_EQ(builder.surface().timelines.CurrentTimeline(), -1);
  EXPECT_EQ(builder.Next(30 * kSecond)["cuts"], 5);
  EXPECT_EQ(builder.surface().timelines.CurrentTimeline(), 8);
}

} // namespace
} // namespace ZYL
