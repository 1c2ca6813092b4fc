#include "TimelineProjects.h"
#include "support/InProcessEngine.h"

#include <gtest/gtest.h>

namespace {

using namespace zyltest::timeline;
using zyltest::ExpectLedgerBalancedAfterDetach;
using zyltest::InProcessEngine;

std::int32_t CurrentTimeline(InProcessEngine& engine) {
  return engine.surface().timelines.CurrentTimeline();
}

TEST(GetAngleTest, CurrentTimelineIsAskedBeforeEveryOther) {
  InProcessEngine engine(Project({
      Timeline(1, {Segment(0, 1000, Multicam("4"))}),
      Timeline(2, {Segment(0, 1000, Multicam("1"))}, {MarkerAt("Cam", 0)}),
  }));
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Cam"), "angle:2");
  ASSERT_EQ(CurrentTimeline(engine), 2);
  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:2");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetAngleTest, ExactPassMovesTheCurrentTimelineAndTheLoosePassDoesNot) {
  InProcessEngine engine(Project({
      Timeline(1, {Segment(0, 1000, Multicam("3"))}),
      Timeline(2, {Segment(500, 1500, Multicam("1"))}),
  }));
  // No segment starts at 700: only the loose pass answers, from the first timeline.
  EXPECT_EQ(engine.DispatchOne("get.angle:700"), "angle:4");
  EXPECT_EQ(CurrentTimeline(engine), -1);
  EXPECT_EQ(engine.DispatchOne("get.angle:500"), "angle:2");
  EXPECT_EQ(CurrentTimeline(engine), 2);
  // The loose pass also starts at the current timeline.
  EXPECT_EQ(engine.DispatchOne("get.angle:700"), "angle:2");
  EXPECT_EQ(CurrentTimeline(engine), 2);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetAngleTest, TrackFilterSelectsTheClipOfThatTrack) {
  InProcessEngine engine(Project({Timeline(
      1, {Segment(0, 1000,
                  Group({Clip("0", {NestedMulticam("5")}), Clip("1", {NestedMulticam("2")})}))})}));
  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:6");
  EXPECT_EQ(engine.DispatchOne("get.angle:0:1"), "angle:3");
  EXPECT_EQ(engine.DispatchOne("get.angle:0:4"), "angle:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetAngleTest, MissingSuitesAndEmptyNamesAnswerZero) {
  json project = Project({Timeline(1, {Segment(0, 1000, Multicam("1"))}, {MarkerAt("Cam", 0)})});
  project["unavailableSuites"] = {"Media Video Segment Suite"};
  InProcessEngine engine(project);
  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:0");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Cam"), "angle:0");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:"), "angle:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetAngleMarkerTest, NonAsciiLettersAreMatchedAsUnderscores) {
  InProcessEngine engine(Project({
      Timeline(1, {Segment(0, 1000, Multicam("2"))}, {MarkerAt("Caf\u00e9 \U0001F3AC", 10)}),
  }));
  // One underscore per UTF-16 unit: the clapper board is a surrogate pair.
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Caf_ __"), "angle:3");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Caf\u00e9 \U0001F3AC"), "angle:0");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Caf_ _"), "angle:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetAngleMarkerTest, FirstTimelineInSearchOrderAndLowestIndexWin) {
  InProcessEngine engine(Project({
      Timeline(1, {Segment(0, 1000, Multicam("1")), Segment(2000, 3000, Multicam("5"))},
               {MarkerAt("Other", 2000), MarkerAt("Take", 0), MarkerAt("Take", 2000)}),
      Timeline(2, {Segment(0, 1000, Multicam("7"))}, {MarkerAt("Only2", 0), MarkerAt("Take", 0)}),
  }));
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Take"), "angle:2");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Only2"), "angle:8");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Take"), "angle:8");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetAngleMarkerTest, MatchMakesItsTimelineCurrentEvenWithoutAnAngle) {
  InProcessEngine engine(Project({
      Timeline(4, {Segment(0, 1000, Multicam("1"))}),
      Timeline(9, {Segment(0, 1000, SizedMedia(1920, 1080))}, {MarkerAt("Plain", 0)}),
  }));
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Plain"), "angle:0");
  EXPECT_EQ(CurrentTimeline(engine), 9);
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Missing"), "angle:0");
  EXPECT_EQ(CurrentTimeline(engine), 9);
  ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
