#include "TimelineProjects.h"
#include "support/InProcessEngine.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace zyltest::timeline;
using zyltest::ExpectLedgerBalancedAfterDetach;
using zyltest::InProcessEngine;
using Lines = std::vector<std::string>;

// Node handles are the host's choice, so they are blanked before comparing.
Lines Dump(InProcessEngine& engine, const std::string& command) {
  static const std::regex nodeId("NODE id=-?[0-9]+ ");
  Lines lines = engine.Dispatch(command);
  for (std::string& line : lines)
    line = std::regex_replace(line, nodeId, "NODE id=# ");
  return lines;
}

std::size_t CountContaining(const Lines& lines, const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(),
                    [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

TEST(DumpAngleTest, PrintsEveryLineOfATreeExactly) {
  json clip = Clip("2");
  clip["flags"] = 3;
  clip["inputs"] = {{{"offset", 250}, {"node", SizedMedia(1920, 1080)}}};
  clip["operators"] = json::array({Multicam("1")});
  InProcessEngine engine(Project({Timeline(1, {Segment(0, 1000, 40, clip)})}));
  EXPECT_EQ(Dump(engine, "dump.angle:500"),
            (Lines{
                "[dump] === VIDEO SEGMENT NODE DUMP START ===",
                "[dump] time=500 track=-1",
                "[dump] --- timeline 1 ---",
                "[dump] root node acquired, segmentOffset=40",
                "[dump] NODE id=# type=RenderableNodeClipImpl flags=3 currentTrack=-1",
                "[dump]   Clip_TrackID = 2",
                "[dump]   updated currentTrackID=2",
                "[dump]   inputCount=1",
                "[dump]   INPUT 0 offset=250",
                "[dump]   NODE id=# type=RenderableNodeMediaImpl flags=0 currentTrack=2",
                "[dump]     Media_StreamFrameWidth = 1920",
                "[dump]     Media_StreamFrameHeight = 1080",
                "[dump]     inputCount=0",
                "[dump]     operatorCount=0",
                "[dump]   operatorCount=1",
                "[dump]   OPERATOR 0",
                "[dump]   NODE id=# type=RenderableNodeMulticamImpl flags=0 currentTrack=2",
                "[dump]     Multicam_SelectedTrack = 1",
                "[dump]     inputCount=0",
                "[dump]     operatorCount=0",
                "[dump] probed 1 timelines, 1 with a node at this time, printed 1",
                "[dump] === VIDEO SEGMENT NODE DUMP END ===",
            }));
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), -1);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DumpAngleTest, CountsTimelinesWithoutANodeAndPrintsOnlyThoseWithOne) {
  InProcessEngine engine(Project({
      Timeline(1, {}),
      Timeline(2, {Segment(0, 1000, Multicam("0"))}),
      Timeline(3, {Segment(2000, 3000, Multicam("0"))}),
  }));
  const Lines lines = Dump(engine, "dump.angle:10:4");
  EXPECT_EQ(lines.at(1), "[dump] time=10 track=4");
  EXPECT_EQ(CountContaining(lines, "--- timeline "), 1u);
  EXPECT_EQ(CountContaining(lines, "--- timeline 2 ---"), 1u);
  EXPECT_EQ(lines.at(lines.size() - 2),
            "[dump] probed 3 timelines, 1 with a node at this time, printed 1");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DumpAngleTest, StopsAfterFivePrintedTimelinesWithoutProbingTheRest) {
  std::vector<json> timelines;
  for (std::int32_t id = 1; id <= 8; ++id)
    timelines.push_back(Timeline(id, {Segment(0, 1000, Multicam("0"))}));
  InProcessEngine engine(Project(timelines));
  const Lines lines = Dump(engine, "dump.angle:0");
  EXPECT_EQ(CountContaining(lines, "--- timeline "), 5u);
  EXPECT_EQ(CountContaining(lines, "--- timeline 5 ---"), 1u);
  EXPECT_EQ(lines.at(lines.size() - 2),
            "[dump] probed 5 timelines, 5 with a node at this time, printed 5");
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DumpAngleTest, NodesBelowDepthTwelveAreNotPrintedButTheirInputLinesAre) {
  json tree = Multicam("9");
  for (int level = 0; level < 13; ++level)
    tree = Group({tree});
  InProcessEngine engine(Project({Timeline(1, {Segment(0, 1000, tree)})}));
  const Lines lines = Dump(engine, "dump.angle:0");
  EXPECT_EQ(CountContaining(lines, "NODE id="), 13u);
  EXPECT_EQ(CountContaining(lines, "RenderableNodeMulticamImpl"), 0u);
  const std::string depth12(24, ' ');
  EXPECT_EQ(CountContaining(lines, "[dump] " + depth12 + "NODE id=#"), 1u);
  EXPECT_EQ(CountContaining(lines, "[dump] " + depth12 + "  INPUT 0 offset=0"), 1u);
  ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DumpAngleTest, MissingSuiteGivesTheErrorLineAndNoSummary) {
  json project = Project({Timeline(1, {Segment(0, 1000, Multicam("0"))})});
  project["unavailableSuites"] = {"Media Video Segment Suite"};
  InProcessEngine engine(project);
  EXPECT_EQ(Dump(engine, "dump.angle:0"),
            (Lines{"[dump] === VIDEO SEGMENT NODE DUMP START ===", "[dump] time=0 track=-1",
                   "[dump] ERROR: could not acquire VideoSegmentSuite",
                   "[dump] === VIDEO SEGMENT NODE DUMP END ==="}));
  ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
