#include "timeline/NodeVisitors.h"

#include "Simulator.h"
#include "TimelineProjects.h"
#include "timeline/NodeReader.h"
#include "timeline/VideoSegments.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

using namespace zyltest::timeline;
using ZYL::FrameSize;
using ZYL::NodeWalk;
using ZYL::TransitionSide;

// Runs `visit` on the root node of a one-segment timeline holding `tree`, then checks that
// every handle the walk obtained was released.
void WithRoot(const json& tree,
              const std::function<void(const hostsdk::VideoSegmentSuite9&, std::int32_t)>& visit) {
  zylsim::Simulator sim(Project({Timeline(1, {Segment(0, 1000, tree)})}),
                        [](const std::string&) {});
  {
    const ZYL::VideoSegmentSuite suite(sim.BasicSuite());
    ASSERT_TRUE(suite);
    const ZYL::SegmentsHandle segments(*suite, 1);
    ASSERT_TRUE(segments);
    const ZYL::NodeHandle root(*suite, segments, 500);
    ASSERT_TRUE(root);
    visit(*suite, root.get());
  }
  EXPECT_TRUE(sim.LedgerBalanced()) << sim.LedgerJson().dump();
}

std::int32_t AngleOf(const json& tree, std::int32_t trackFilter = -1) {
  std::int32_t angle = -7;
  WithRoot(tree, [&](const hostsdk::VideoSegmentSuite9& suite, std::int32_t root) {
    angle = ZYL::AngleVisitor(NodeWalk{suite, trackFilter}, root, 0, -1);
  });
  return angle;
}

FrameSize SizeOf(const json& tree, std::int32_t trackFilter = -1) {
  FrameSize size;
  WithRoot(tree, [&](const hostsdk::VideoSegmentSuite9& suite, std::int32_t root) {
    ZYL::FrameSizeVisitor(NodeWalk{suite, trackFilter}, root, 0, -1, size);
  });
  return size;
}

struct TransitionResult {
  bool clipOnTrack = false;
  TransitionSide side;
};

TransitionResult TransitionOf(const json& tree, std::int32_t trackFilter = -1) {
  TransitionResult result;
  WithRoot(tree, [&](const hostsdk::VideoSegmentSuite9& suite, std::int32_t root) {
    ZYL::TransitionVisitor(NodeWalk{suite, trackFilter}, root, 0, result.clipOnTrack, result.side);
  });
  return result;
}

// `leaf` at `depth` below a root, through a chain of plain nodes.
json AtDepth(int depth, json leaf) {
  for (int level = 0; level < depth; ++level)
    leaf = Group({leaf});
  return leaf;
}

TEST(PropertyIntegerTest, ReadsLikeAtoiAndSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ZYL::PropertyInteger("  42abc"), 42);
  EXPECT_EQ(ZYL::PropertyInteger("+7"), 7);
  EXPECT_EQ(ZYL::PropertyInteger("-3"), -3);
  EXPECT_EQ(ZYL::PropertyInteger("abc"), 0);
  EXPECT_EQ(ZYL::PropertyInteger(""), 0);
  EXPECT_EQ(ZYL::PropertyInteger("99999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ZYL::PropertyInteger("-99999999999999999999999"),
            std::numeric_limits<std::int32_t>::min());
}

TEST(AngleVisitorTest, MulticamSelectionGivesTheTrackPlusOneAndNegativeSelectionsAreSearchedPast) {
  EXPECT_EQ(AngleOf(Multicam("2")), 3);
  EXPECT_EQ(AngleOf(Multicam("-1", {Multicam("0")})), 1);
  EXPECT_EQ(AngleOf(Multicam("-1")), 0);
}

TEST(AngleVisitorTest, MediaSelectionCountsOnlyForNestedSequences) {
  EXPECT_EQ(AngleOf(NestedMulticam("4")), 5);
  EXPECT_EQ(AngleOf(Media({{"MediaNode::SelectedMulticamTrack", "4"}})), 0);
}

// The selected track plus one must not wrap at the top of the 32-bit range.
TEST(AngleVisitorTest, OutOfRangeSelectionsGiveNoAngle) {
  EXPECT_EQ(AngleOf(Multicam("2147483647")), 0);
  EXPECT_EQ(AngleOf(Multicam("99999999999")), 0);
  EXPECT_EQ(AngleOf(Multicam("-99999999999")), 0);
  EXPECT_EQ(AngleOf(Multicam("2147483646")), 2147483647);
}

TEST(AngleVisitorTest, InputsComeBeforeOperatorsAndTheFirstFindWins) {
  const json root = Group({Group({}), Multicam("1")}, {Multicam("5")});
  EXPECT_EQ(AngleOf(root), 2);
  EXPECT_EQ(AngleOf(Group({Group({})}, {Multicam("5"), Multicam("6")})), 6);
}

TEST(AngleVisitorTest, MediaOnAnotherTrackClosesItsSubtree) {
  const json otherTrack = Clip("0", {Media(json::object(), {Multicam("3")})});
  const json filteredTrack = Clip("1", {Multicam("7")});
  EXPECT_EQ(AngleOf(Group({otherTrack, filteredTrack}), 1), 8);
  EXPECT_EQ(AngleOf(Group({otherTrack}), 1), 0);
  EXPECT_EQ(AngleOf(Group({otherTrack}), -1), 4);
}

TEST(AngleVisitorTest, WalkStopsBelowDepthTen) {
  EXPECT_EQ(AngleOf(AtDepth(10, Multicam("1"))), 2);
  EXPECT_EQ(AngleOf(AtDepth(11, Multicam("1"))), 0);
}

TEST(FrameSizeVisitorTest, MediaOnAnotherTrackIsSkippedButItsChildrenAreWalked) {
  const json tree = Clip("0", {SizedMedia(3840, 2160, {Clip("1", {SizedMedia(1280, 720)})})});
  const FrameSize filtered = SizeOf(tree, 1);
  EXPECT_EQ(filtered.width, 1280);
  EXPECT_EQ(filtered.height, 720);
  const FrameSize any = SizeOf(tree, -1);
  EXPECT_EQ(any.width, 3840);
  EXPECT_EQ(any.height, 2160);
}

TEST(FrameSizeVisitorTest, WidthWithoutHeightGivesHeightZero) {
  const FrameSize size = SizeOf(Media({{"MediaNode::StreamFrameWidth", "1920"}}));
  EXPECT_EQ(size.width, 1920);
  EXPECT_EQ(size.height, 0);
}

TEST(FrameSizeVisitorTest, WalkStopsBelowDepthTen) {
  EXPECT_EQ(SizeOf(AtDepth(10, SizedMedia(640, 480))).width, 640);
  EXPECT_EQ(SizeOf(AtDepth(11, SizedMedia(640, 480))).width, 0);
}

TEST(TransitionVisitorTest, FirstNamedTransitionWinsAndClipsOfTheTrackAreSeen) {
  json unnamed = Node("RenderableNodeTransitionImpl");
  const TransitionResult result = TransitionOf(
      Group({Clip("2"), unnamed, Transition("Dissolve", "250"), Transition("Wipe", "9")}), 2);
  EXPECT_TRUE(result.clipOnTrack);
  EXPECT_EQ(result.side.name, "Dissolve");
  EXPECT_EQ(result.side.duration, 250);
  EXPECT_FALSE(TransitionOf(Clip("2"), 1).clipOnTrack);
}

TEST(TransitionVisitorTest, EmptyNameReadsAsQuestionMark) {
  EXPECT_EQ(TransitionOf(Transition("", "10")).side.name, "?");
}

// Not a number: the walk goes on and the side keeps its name, so one reply still follows.
TEST(TransitionVisitorTest, DurationThatIsNotANumberKeepsTheNameAndZero) {
  const TransitionResult result = TransitionOf(Group({Transition("Dissolve", "soon"), Clip("1")}));
  EXPECT_EQ(result.side.name, "Dissolve");
  EXPECT_EQ(result.side.duration, 0);
  EXPECT_TRUE(result.clipOnTrack);
  EXPECT_EQ(TransitionOf(Transition("Dissolve", "99999999999999999999")).side.duration, 0);
}

TEST(TransitionVisitorTest, WalkStopsBelowDepthTen) {
  EXPECT_EQ(TransitionOf(AtDepth(10, Transition("Dip", "1"))).side.name, "Dip");
  EXPECT_EQ(TransitionOf(AtDepth(11, Transition("Dip", "1"))).side.name, "-");
}

} // namespace
