// Regression: after the editor opened another project, the cache kept the old project's
// timelines first and never scanned again, so get.sequence answered the host's 'Parm' and
// the time queries answered nothing. Every query now drops an id the host no longer knows
// and goes on with what a new scan finds.
#include "TimelineProjects.h"
#include "support/InProcessEngine.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using namespace zyltest::timeline;
using zyltest::InProcessEngine;

// One timeline whose every answer differs between the two projects: a multicam angle, a
// clip size and a transition at 0, and a marker named "Cam" there.
json OneTimelineProject(std::int32_t id, const std::string& camera, int width, int height,
                        const std::string& transition) {
  return Project(
      {Timeline(id,
                {Segment(0, 100,
                         Group({Transition(transition, "25"),
                                Clip("1", {Multicam(camera, {SizedMedia(width, height)})})})),
                 Segment(100, 1000, Clip("1", {Multicam(camera, {SizedMedia(width, height)})}))},
                {MarkerAt("Cam", 0)})});
}

class ProjectChange : public testing::Test {
protected:
  ProjectChange() : engine(OneTimelineProject(1, "2", 1920, 1080, "Dissolve")) {}

  // Opens the second project the way the editor would, under the running engine.
  void LoadOtherProject() {
    const std::filesystem::path file =
        std::filesystem::path(testing::TempDir()) /
        (std::string("project-change-") +
         testing::UnitTest::GetInstance()->current_test_info()->name() + ".json");
    json project = OneTimelineProject(7, "5", 1280, 720, "Wipe");
    project["timelines"][0]["sequence"] = {{"ticksPerFrame", 1001}};
    std::ofstream(file) << project.dump();
    ASSERT_TRUE(engine.sim().Execute("load " + file.string()));
  }

  // Asks `command` once before the change, so the old timeline is cached and current.
  void AskBefore(const std::string& command) {
    engine.DispatchOne(command);
    ASSERT_EQ(engine.surface().timelines.CurrentTimeline(), 1) << command;
    LoadOtherProject();
  }

  ~ProjectChange() override {
    engine.Detach();
    EXPECT_TRUE(engine.sim().LedgerBalanced()) << engine.sim().LedgerJson().dump();
  }

  InProcessEngine engine;
};

TEST_F(ProjectChange, SequenceDescribesTheNewProject) {
  AskBefore("get.angle:0");
  EXPECT_EQ(engine.DispatchOne("get.sequence").rfind(R"(sequence:{"timelineID":7,)", 0), 0u);
}

TEST_F(ProjectChange, AngleAtATimeComesFromTheNewProject) {
  AskBefore("get.angle:0");
  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:6");
  EXPECT_EQ(engine.surface().timelines.CurrentTimeline(), 7);
}

TEST_F(ProjectChange, AngleAtAMarkerComesFromTheNewProject) {
  AskBefore("get.angle.marker:Cam");
  EXPECT_EQ(engine.DispatchOne("get.angle.marker:Cam"), "angle:6");
}

TEST_F(ProjectChange, ClipSizeAtATimeComesFromTheNewProject) {
  AskBefore("get.clipsize:0:-1");
  EXPECT_EQ(engine.DispatchOne("get.clipsize:0:-1"), "clipsize:1280:720");
}

TEST_F(ProjectChange, ClipSizeAtAMarkerComesFromTheNewProject) {
  AskBefore("get.clipsize.marker:Cam");
  EXPECT_EQ(engine.DispatchOne("get.clipsize.marker:Cam"), "clipsize:1280:720");
}

TEST_F(ProjectChange, TransitionsComeFromTheNewProject) {
  AskBefore("get.transitions:0:1000:1");
  EXPECT_EQ(engine.DispatchOne("get.transitions:0:1000:1"), "transitions:Wipe:25:-:0");
}

TEST_F(ProjectChange, TheDumpShowsTheNewProject) {
  AskBefore("get.angle:0");
  const std::vector<std::string> lines = engine.Dispatch("dump.angle:0");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "[dump] --- timeline 7 ---"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "[dump] --- timeline 1 ---"), lines.end());
}

TEST_F(ProjectChange, TheScanNamesTheNewProjectsTimeline) {
  AskBefore("get.angle:0");
  EXPECT_EQ(engine.DispatchOne("debug.tlscan:0:100").rfind(R"(tlscan:{"from":0,"to":100,)", 0), 0u);
  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:6");
}

} // namespace
