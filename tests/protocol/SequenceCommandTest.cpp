// get.sequence against the simulated Sequence Info and Time suites.
#include "ProtocolTestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
using zyltest::InProcessEngine;

constexpr const char* kSequenceInfoSuite = "Media Sequence Info Suite";

json Timeline(int id, json sequence) { return {{"id", id}, {"sequence", std::move(sequence)}}; }

json NtscSequence() {
  return json::parse(R"({"ticksPerFrame": 1001, "rect": [0, 0, 1920, 1080], "par": [10, 11],
                         "dropFrame": true, "zeroPoint": 108000})");
}

// A vector, not a json: a braced single timeline must stay a one-element array whatever
// the compiler makes of a one-element brace list for json.
json Project(const std::vector<json>& timelines) {
  return {{"ticksPerSecond", 30000}, {"timelines", timelines}};
}

TEST(GetSequenceTest, DescribesTheNamedTimeline) {
  InProcessEngine engine(Project({Timeline(1, NtscSequence()), Timeline(7, NtscSequence())}));
  EXPECT_EQ(engine.DispatchOne("get.sequence:7"),
            R"(sequence:{"timelineID":7,"ticksPerSecond":30000,"ticksPerFrame":1001,)"
            R"("fps":29.970,"dropFrame":true,"width":1920,"height":1080,"parNum":10,)"
            R"("parDen":11,"zeroPointTicks":108000})");
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetSequenceTest, TimelineIdKeepsOnlyItsLowThirtyTwoBits) {
  InProcessEngine engine(Project({Timeline(1, NtscSequence())}));
  EXPECT_EQ(engine.DispatchOne("get.sequence:4294967297").rfind(R"(sequence:{"timelineID":1,)", 0),
            0u);
  EXPECT_EQ(engine.DispatchOne("get.sequence:2147483648"), "sequence.error:notimeline");
  EXPECT_EQ(engine.DispatchOne("get.sequence:-1"), "sequence.error:notimeline");
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetSequenceTest, HostFailuresGiveDefaultsOrTheirReply) {
  struct Case {
    const char* name;
    json project;
    std::string reply; // the whole reply, or the part of the record that proves the point
  };
  json noTimeSuite = Project({Timeline(2, NtscSequence())});
  noTimeSuite["unavailableSuites"] = json::array({"Host Time Suite"});
  char defaultRate[96];
  std::snprintf(defaultRate, sizeof(defaultRate),
                R"("ticksPerSecond":254016000000,"ticksPerFrame":1001,"fps":%.3f,)",
                254016000000.0 / 1001.0);
  json refusedAspect = Project({Timeline(2, NtscSequence())});
  refusedAspect["failingCalls"] =
      json::array({{{"suite", kSequenceInfoSuite}, {"position", 1}, {"status", 1}}});
  json badParameter = Project({Timeline(2, NtscSequence())});
  badParameter["failingCalls"] =
      json::array({{{"suite", kSequenceInfoSuite}, {"position", 2}, {"status", 0x5061726D}}});
  json zeroDuration = NtscSequence();
  zeroDuration["ticksPerFrame"] = 0;
  json noSequenceSuite = Project({Timeline(2, NtscSequence())});
  noSequenceSuite["unavailableSuites"] = json::array({kSequenceInfoSuite});

  const Case cases[] = {
      {"no Time suite", noTimeSuite, defaultRate},
      {"refused pixel aspect", refusedAspect, R"("parNum":1,"parDen":1,)"},
      {"bad parameter", badParameter, "sequence.error:1348563565"},
      {"duration not positive", Project({Timeline(2, zeroDuration)}), "sequence.error:0"},
      {"no Sequence Info suite", noSequenceSuite, "sequence.error:nosuite"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessEngine engine(c.project);
    const std::string reply = engine.DispatchOne("get.sequence:2");
    if (c.reply.rfind("sequence", 0) == 0)
      EXPECT_EQ(reply, c.reply);
    else
      EXPECT_NE(reply.find(c.reply), std::string::npos) << reply;
    zyltest::ExpectLedgerBalancedAfterDetach(engine);
  }
}

// Regression: width and height are differences of host values; the widest ones must neither
// overflow (undefined behaviour) nor outgrow the record's buffer.
TEST(GetSequenceTest, ExtremeHostValuesStillGiveACompleteRecord) {
  const json extreme = json::parse(R"({"ticksPerFrame": 1,
      "rect": [-2147483648, -2147483648, 2147483647, 2147483647],
      "par": [4294967295, 4294967295], "dropFrame": true, "zeroPoint": -9223372036854775808})");
  json project = Project({Timeline(2147483647, extreme)});
  project["ticksPerSecond"] = 9223372036854775807LL;
  InProcessEngine engine(project);
  const std::string reply = engine.DispatchOne("get.sequence:2147483647");
  ASSERT_EQ(reply.rfind("sequence:", 0), 0u) << reply;
  const json record = json::parse(reply.substr(9), nullptr, false);
  ASSERT_TRUE(record.is_object()) << reply;
  EXPECT_EQ(record["width"], -1);
  EXPECT_EQ(record["height"], -1);
  EXPECT_EQ(record["parNum"], 4294967295u);
  EXPECT_EQ(record["zeroPointTicks"], INT64_MIN);
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetSequenceTest, BareRequestTakesTheKnownTimelineAndScansOnlyOnce) {
  InProcessEngine found(Project({Timeline(5, NtscSequence())}));
  EXPECT_EQ(found.DispatchOne("get.sequence").rfind(R"(sequence:{"timelineID":5,)", 0), 0u);
  zyltest::ExpectLedgerBalancedAfterDetach(found);

  InProcessEngine empty(Project(json::array()));
  EXPECT_EQ(empty.DispatchOne("get.sequence"), "sequence.error:notimeline");
  // A timeline that appears later is not found by a bare request: the scan ran already.
  ASSERT_TRUE(
      empty.sim().Execute("set timelines " + json::array({Timeline(5, NtscSequence())}).dump()));
  EXPECT_EQ(empty.DispatchOne("get.sequence"), "sequence.error:notimeline");
  // Named, it is asked of the host directly.
  EXPECT_EQ(empty.DispatchOne("get.sequence:5").rfind(R"(sequence:{"timelineID":5,)", 0), 0u);
  zyltest::ExpectLedgerBalancedAfterDetach(empty);
}

} // namespace
