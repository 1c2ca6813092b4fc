#include "TimelineProjects.h"
#include "support/InProcessEngine.h"

#include <gtest/gtest.h>

namespace {

using namespace zyltest::timeline;
using zyltest::ExpectLedgerBalancedAfterDetach;
using zyltest::InProcessEngine;

json ClipWith(const std::string& track, std::vector<json> inputs = {}) {
  return Clip(track, std::move(inputs));
}

TEST(GetTransitionsTest, InSideFromTheStartAndNoneAtTheEnd) {
  InProcessEngine engine(Project(
      {Timeline(5, {Segment(1000, 1100, Group({Transition("CrossDissolve", "100"), ClipWith("2")})),
                    Segment(1100, 3000, ClipWith("2"))})}));
  EXPECT_EQ(engine.DispatchOne("get.transitions:1000:3000:2"), "transitions:CrossDissolve:100:-:0");
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), 5);
  EXPECT_EQ(engine.DispatchOne("get.transitions:1000:3000:-1"),
            "transitions:CrossDissolve:100:-:0");
  EXPECT_EQ(engine.DispatchOne("get.transitions:1000:3000:1"), "transitions.error:noclip");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetTransitionsTest, NeighbouringTicksAreReadWhenTheEndsHoldNoTransition) {
  // The clip runs from 1000 to 2000; its transitions sit in the segments on either side.
  InProcessEngine engine(Project({Timeline(
      1, {Segment(0, 1000, Group({ClipWith("1"), Transition("Push", "-40")})),
          Segment(1000, 2000, ClipWith("1")),
          Segment(2000, 2500, Group({Transition("Wipe", "500"), Transition("Iris", "7")}))})}));
  EXPECT_EQ(engine.DispatchOne("get.transitions:1000:2000:1"), "transitions:Push:-40:Wipe:500");
  // start == end: the out side is read at start - 1 first.
  EXPECT_EQ(engine.DispatchOne("get.transitions:1000:1000:1"), "transitions:Push:-40:Push:-40");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetTransitionsTest, UnreadableTransitionTextsStillGiveOneWellFormedReply) {
  InProcessEngine engine(Project(
      {Timeline(1, {Segment(0, 100, Group({ClipWith("1"), Transition("", "5")})),
                    Segment(100, 200, Group({ClipWith("1"), Transition("a:b", "later")}))})}));
  EXPECT_EQ(engine.DispatchOne("get.transitions:0:199:1"), "transitions:?:5:a:b:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetTransitionsTest, MissingSuiteIsNoClip) {
  json project = Project({Timeline(1, {Segment(0, 100, ClipWith("1"))})});
  project["unavailableSuites"] = {"Media Video Segment Suite"};
  InProcessEngine engine(project);
  EXPECT_EQ(engine.DispatchOne("get.transitions:0:100:1"), "transitions.error:noclip");
  ExpectLedgerBalancedAfterDetach(engine);
}

// The middle of the widest range is -1; computing it as start + (end - start) / 2 in 64 bits
// would overflow, and start - 1 does not exist.
TEST(GetTransitionsTest, ExtremeTimesNeitherOverflowNorMissTheMiddle) {
  InProcessEngine engine(Project(
      {Timeline(1, {Segment(-10, 10, ClipWith("3")),
                    Segment(9223372036854775806, 9223372036854775807, Transition("Fade", "1"))})}));
  EXPECT_EQ(engine.DispatchOne("get.transitions:-9223372036854775808:9223372036854775807:3"),
            "transitions:-:0:Fade:1");
  ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
