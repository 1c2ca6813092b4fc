#include "TimelineProjects.h"
#include "protocol/text/DispatchCommand.h"
#include "support/InProcessEngine.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace zyltest::timeline;
using zyltest::ExpectLedgerBalancedAfterDetach;
using zyltest::InProcessEngine;
using Ids = std::vector<std::int32_t>;

json TimelineWith(std::int32_t id, int segmentCount, int markerCount = 0) {
  std::vector<json> segments;
  for (int index = 0; index < segmentCount; ++index)
    segments.push_back(Segment(index * 10, index * 10 + 10, Multicam("0")));
  std::vector<json> markers;
  for (int index = 0; index < markerCount; ++index)
    markers.push_back(MarkerAt("m", index));
  return Timeline(id, segments, markers);
}

std::string WithoutElapsed(const std::string& reply) {
  static const std::regex elapsed("\"elapsedMs\":[0-9]+,");
  return std::regex_replace(reply, elapsed, "");
}

json ReplyJson(const std::string& reply) {
  const std::string prefix = "tlscan:";
  EXPECT_EQ(reply.rfind(prefix, 0), 0u) << reply;
  return json::parse(reply.substr(prefix.size()));
}

TEST(TimelineScanTest, ReplyMatchesTheDocumentedExampleAndFeedsTheCache) {
  InProcessEngine engine(Project({TimelineWith(3, 12), TimelineWith(4, 12), TimelineWith(7, 12)}));
  const std::string reply = engine.DispatchOne("debug.tlscan:0:10");
  EXPECT_NE(reply.find("\"elapsedMs\":"), std::string::npos) << reply;
  EXPECT_EQ(WithoutElapsed(reply),
            R"(tlscan:{"from":0,"to":10,"scanned":10,"budgetHit":false,"hits":3,"groupsTotal":2,)"
            R"("groups":[{"a":3,"b":4,"n":2,"segs":12,"markers":0},)"
            R"({"a":7,"b":7,"n":1,"segs":12,"markers":0}],"marked":[]})");
  EXPECT_EQ(engine.surface().timelines.OrderedTimelines(), (Ids{3, 4, 7}));
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(TimelineScanTest, GroupsSplitOnSegmentAndMarkerCountsAndMarkedHitsAreListed) {
  InProcessEngine engine(Project(
      {TimelineWith(3, 12), TimelineWith(4, 11), TimelineWith(5, 11, 2), TimelineWith(6, 11, 2)}));
  EXPECT_EQ(WithoutElapsed(engine.DispatchOne("debug.tlscan:2:9:60000")),
            R"(tlscan:{"from":2,"to":9,"scanned":7,"budgetHit":false,"hits":4,"groupsTotal":3,)"
            R"("groups":[{"a":3,"b":3,"n":1,"segs":12,"markers":0},)"
            R"({"a":4,"b":4,"n":1,"segs":11,"markers":0},)"
            R"({"a":5,"b":6,"n":2,"segs":11,"markers":2}],)"
            R"("marked":[{"id":5,"markers":2},{"id":6,"markers":2}]})");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(TimelineScanTest, ListsAreCappedButEveryGroupIsCounted) {
  std::vector<json> timelines;
  for (std::int32_t id = 0; id <= 802; id += 2)
    timelines.push_back(TimelineWith(id, 1, 1));
  InProcessEngine engine(Project(timelines));
  const json reply = ReplyJson(engine.DispatchOne("debug.tlscan:0:1000"));
  EXPECT_EQ(reply["hits"], 402);
  EXPECT_EQ(reply["groupsTotal"], 402);
  ASSERT_EQ(reply["groups"].size(), 400u);
  EXPECT_EQ(reply["groups"].back()["a"], 798);
  ASSERT_EQ(reply["marked"].size(), 64u);
  EXPECT_EQ(reply["marked"].back()["id"], 126);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(TimelineScanTest, BudgetIsCheckedEvery4096Ids) {
  json project = Project({TimelineWith(1, 1)});
  // Each probe takes at least 2 µs, so 4096 probes always outlast a budget of 0 ms.
  project["probeDelayNs"] = 2000;
  InProcessEngine engine(project);
  const json reply = ReplyJson(engine.DispatchOne("debug.tlscan:-5:5000000000:0"));
  EXPECT_EQ(reply["from"], 0);
  EXPECT_EQ(reply["to"], 2147483647);
  EXPECT_EQ(reply["scanned"], 4096);
  EXPECT_EQ(reply["budgetHit"], true);
  EXPECT_EQ(reply["hits"], 1);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(TimelineScanTest, MissingSuitesDegradeTheReply) {
  json project = Project({TimelineWith(1, 2, 3)});
  project["unavailableSuites"] = {"Marker Suite"};
  InProcessEngine engine(project);
  EXPECT_EQ(WithoutElapsed(engine.DispatchOne("debug.tlscan:0:3")),
            R"(tlscan:{"from":0,"to":3,"scanned":3,"budgetHit":false,"hits":1,"groupsTotal":1,)"
            R"("groups":[{"a":1,"b":1,"n":1,"segs":2,"markers":null}],"marked":[]})");
  ASSERT_TRUE(engine.sim().Execute(R"(set unavailableSuites ["Media Video Segment Suite"])"));
  EXPECT_EQ(WithoutElapsed(engine.DispatchOne("debug.tlscan:0:3")),
            R"(tlscan:{"from":0,"to":3,"scanned":0,"budgetHit":false,"hits":0,"groupsTotal":0,)"
            R"("groups":[],"marked":[]})");
  EXPECT_EQ(WithoutElapsed(engine.DispatchOne("debug.tlscan:nothing")),
            R"(tlscan:{"from":0,"to":0,"scanned":0,"budgetHit":false,"hits":0,"groupsTotal":0,)"
            R"("groups":[],"marked":[]})");
  ExpectLedgerBalancedAfterDetach(engine);
}

// Regression: a range whose end lies below its start by more than 64 bits can hold reported
// a count near 2^63 (and overflowed doing so); nothing is scanned then.
TEST(TimelineScanTest, AReversedRangeScansNothingWhateverItsEnds) {
  InProcessEngine engine(Project({TimelineWith(1, 2, 3)}));
  for (const char* command : {"debug.tlscan:1:-9223372036854775808",
                              "debug.tlscan:9223372036854775807:0", "debug.tlscan:5:5"}) {
    const json reply = ReplyJson(engine.DispatchOne(command));
    EXPECT_EQ(reply["scanned"], 0) << command;
    EXPECT_EQ(reply["hits"], 0) << command;
  }
  ExpectLedgerBalancedAfterDetach(engine);
}

// A client may ask for the whole id range with an endless budget: other connections must
// still be served meanwhile, and stopping the server must end the scan.
TEST(TimelineScanTest, EndlessScanBlocksNoOneAndEndsWithTheServer) {
  json project = Project({Timeline(1, {Segment(0, 1000, Multicam("2"))})});
  project["probeDelayNs"] = 20'000;
  InProcessEngine engine(project);
  zyltest::CaptureSink scanClient;
  std::future<void> scan = std::async(std::launch::async, [&] {
    ZYL::EngineParts parts = engine.surface().Parts();
    ZYL::DispatchCommand(
        parts, scanClient,
        "debug.tlscan:0:" + std::to_string(std::numeric_limits<std::int32_t>::max()) + ":" +
            std::to_string(std::numeric_limits<std::int64_t>::max()));
  });
  while (engine.surface().timelines.CurrentTimeline() != 1)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));

  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:3");
  EXPECT_EQ(scan.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

  engine.surface().StopServer();
  ASSERT_EQ(scan.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  const std::vector<std::string> replies = scanClient.Replies();
  ASSERT_EQ(replies.size(), 1u);
  const json reply = ReplyJson(replies.front());
  EXPECT_EQ(reply["budgetHit"], true);
  EXPECT_EQ(reply["hits"], 1);
  ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
