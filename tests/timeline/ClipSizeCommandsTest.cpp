#include "TimelineProjects.h"
#include "support/InProcessEngine.h"

#include <gtest/gtest.h>

namespace {

using namespace zyltest::timeline;
using zyltest::ExpectLedgerBalancedAfterDetach;
using zyltest::InProcessEngine;

// A clip from 1000 to 5000 whose segment at the end time reports `offsetAtEnd`.
json ClipTimeline(std::int32_t id, std::int64_t offsetAtEnd, int width, int height) {
  return Timeline(id, {Segment(1000, 5000, Clip("0", {SizedMedia(width, height)})),
                       Segment(5000, 9000, offsetAtEnd, Clip("0", {SizedMedia(1, 1)}))});
}

TEST(GetClipSizeTest, ExactPassAcceptsAnEndLookupAtTheEndOrAtTheStart) {
  for (const std::int64_t offsetAtEnd : {5000, 1000}) {
    InProcessEngine engine(Project({ClipTimeline(3, offsetAtEnd, 1920, 1080)}));
    EXPECT_EQ(engine.DispatchOne("get.clipsize:1000:5000:0"), "clipsize:1920:1080")
        << "offset at end " << offsetAtEnd;
    EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), 3) << "offset at end " << offsetAtEnd;
    ExpectLedgerBalancedAfterDetach(engine);
  }
}

TEST(GetClipSizeTest, EndLookupAtAnotherSegmentRejectsTheTimelineInTheExactPass) {
  InProcessEngine engine(Project({
      ClipTimeline(1, 4000, 3840, 2160),
      ClipTimeline(2, 5000, 1280, 720),
  }));
  EXPECT_EQ(engine.DispatchOne("get.clipsize:1000:5000:0"), "clipsize:1280:720");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetClipSizeTest, LoosePassAnswersWhenNoTimelinePassesAndLeavesTheCurrentTimeline) {
  InProcessEngine engine(Project({ClipTimeline(1, 4000, 3840, 2160)}));
  EXPECT_EQ(engine.DispatchOne("get.clipsize:1000:5000:0"), "clipsize:3840:2160");
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), -1);
  // Without an end time only the start is tested.
  EXPECT_EQ(engine.DispatchOne("get.clipsize:1000:0"), "clipsize:3840:2160");
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), 1);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetClipSizeTest, GapAtTheEndTimePassesTheExactTest) {
  InProcessEngine engine(Project({Timeline(6, {Segment(1000, 5000, SizedMedia(720, 576))})}));
  EXPECT_EQ(engine.DispatchOne("get.clipsize:1000:7000:-1"), "clipsize:720:576");
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), 6);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetClipSizeTest, TrackFilterAndMissingHeight) {
  InProcessEngine engine(Project({Timeline(
      1, {Segment(0, 1000,
                  Group({Clip("0", {SizedMedia(1920, 1080)}),
                         Clip("2", {Media({{"MediaNode::StreamFrameWidth", "640"}})})}))})}));
  EXPECT_EQ(engine.DispatchOne("get.clipsize:0:2"), "clipsize:640:0");
  EXPECT_EQ(engine.DispatchOne("get.clipsize:0:-1"), "clipsize:1920:1080");
  EXPECT_EQ(engine.DispatchOne("get.clipsize:0:5"), "clipsize:0:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetClipSizeMarkerTest, SizeAtTheMarkerWithoutExactTest) {
  InProcessEngine engine(Project({
      Timeline(1, {Segment(0, 1000, SizedMedia(1920, 1080))}),
      Timeline(2, {Segment(0, 1000, SizedMedia(1280, 720))}, {MarkerAt("Here", 500)}),
  }));
  EXPECT_EQ(engine.DispatchOne("get.clipsize.marker:Here"), "clipsize:1280:720");
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), 2);
  EXPECT_EQ(engine.DispatchOne("get.clipsize.marker:Nowhere"), "clipsize:0:0");
  EXPECT_EQ(engine.DispatchOne("get.clipsize.marker:"), "clipsize:0:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(GetClipSizeTest, MissingSuiteAnswersZero) {
  json project =
      Project({Timeline(1, {Segment(0, 1000, SizedMedia(1920, 1080))}, {MarkerAt("M", 0)})});
  project["unavailableSuites"] = {"Media Video Segment Suite"};
  InProcessEngine engine(project);
  EXPECT_EQ(engine.DispatchOne("get.clipsize:0:-1"), "clipsize:0:0");
  EXPECT_EQ(engine.DispatchOne("get.clipsize.marker:M"), "clipsize:0:0");
  ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
