#include "Project.h"

#include "Simulator.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace zylsim {
namespace {

using nlohmann::json;

TEST(ProjectTest, AbsentMembersTakeTheirDefaults) {
  const Project project = ParseProject(json::object(), {});
  EXPECT_EQ(project.ticksPerSecond, 254016000000);
  EXPECT_EQ(project.hostMarkerCount, 0);
  EXPECT_FALSE(project.solo);
  EXPECT_FALSE(project.mixer.has_value());
  EXPECT_TRUE(project.commands.empty());
  EXPECT_TRUE(project.timelines.empty());
  EXPECT_EQ(project.probeDelayNs, 0);
  EXPECT_FALSE(project.Refuses("Marker Suite", 3));
}

TEST(ProjectTest, SegmentOffsetDefaultsToStartAndTimelinesAreSortedById) {
  const Project project =
      ParseProject(json::parse(R"({"timelines":[{"id":9,"segments":[{"start":10,"end":20},
                                    {"start":20,"end":30,"offset":5}]},{"id":2}]})"),
                   {});
  ASSERT_EQ(project.timelines.size(), 2u);
  EXPECT_EQ(project.timelines[0].id, 2);
  const Timeline* nine = project.FindTimeline(9);
  ASSERT_NE(nine, nullptr);
  EXPECT_FALSE(nine->sequence.has_value());
  EXPECT_EQ(nine->segments[0].offset, 10);
  EXPECT_EQ(nine->segments[1].offset, 5);
  EXPECT_EQ(nine->SegmentAt(19), &nine->segments[0]);
  EXPECT_EQ(nine->SegmentAt(20), &nine->segments[1]);
  EXPECT_EQ(nine->SegmentAt(30), nullptr);
  EXPECT_EQ(project.FindTimeline(3), nullptr);
}

TEST(ProjectTest, SuiteRefusalsByNameAndByVersion) {
  const Project project =
      ParseProject(json::parse(R"({"unavailableSuites":["HOSTSDK ControlSurfaceHost Mixer Suite",
                                           "Marker Suite@3"]})"),
                   {});
  EXPECT_TRUE(project.Refuses("HOSTSDK ControlSurfaceHost Mixer Suite", 1));
  EXPECT_TRUE(project.Refuses("HOSTSDK ControlSurfaceHost Mixer Suite", 7));
  EXPECT_TRUE(project.Refuses("Marker Suite", 3));
  EXPECT_FALSE(project.Refuses("Marker Suite", 2));
}

TEST(ProjectTest, MalformedProjectsNameTheMember) {
  const std::pair<const char*, const char*> cases[] = {
      {R"([1,2])", "expected a JSON object"},
      {R"({"solo":1})", "solo"},
      {R"({"colour":1})", "colour"},
      {R"({"hostMarkerCount":4294967296})", "out of range"},
      {R"({"timelines":[{"id":1},{"id":1}]})", "listed twice"},
      {R"({"timelines":[{"segments":[]}]})", "needs an \"id\""},
      {R"({"timelines":[{"id":1,"segments":[{"start":5,"end":5}]}]})", "after \"start\""},
      {R"({"timelines":[{"id":1,"sequence":{"rect":[0,0,1]}}]})", "rect"},
      {R"({"timelines":[{"id":1,"segments":[{"start":0,"end":1,"root":{"props":{"k":3}}}]}]})",
       "props.k"},
      {R"({"commands":[["a","b","c"]]})", "commands[0]"},
      {R"({"failingCalls":[{"suite":"Nope","position":0,"status":1}]})", "Nope"},
      {R"({"probeDelayNs":-1})", "probeDelayNs"},
  };
  for (const auto& [text, expected] : cases) {
    try {
      ParseProject(json::parse(text), {});
      ADD_FAILURE() << "accepted " << text;
    } catch (const ProjectError& error) {
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos)
          << text << " gave " << error.what();
    }
  }
}

// A project file may not hold values no editor gives; a project built in memory may, so that
// the engine's handling of such a host stays testable.
TEST(ProjectTest, ValuesNoEditorGivesAreRefusedStrictlyWithTheirPath) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"ticksPerSecond":-254016000000})", "ticksPerSecond: must be positive"},
      {R"({"ticksPerSecond":0})", "ticksPerSecond: must be positive"},
      {R"({"timelines":[{"id":1},{"id":2,"sequence":{"ticksPerFrame":0}}]})",
       "timelines[1].sequence.ticksPerFrame: must be positive"},
      {R"({"timelines":[{"id":1,"sequence":{"rect":[0,0,-1280,720]}}]})",
       "timelines[0].sequence.rect[2]: the right edge precedes the left edge"},
      {R"({"timelines":[{"id":1,"sequence":{"rect":[0,10,1920,9]}}]})",
       "timelines[0].sequence.rect[3]: the bottom edge precedes the top edge"},
      {R"({"hostMarkerCount":-1})", "hostMarkerCount: must not be negative"},
      {R"({"mixer":{"tracks":-2}})", "mixer.tracks: must not be negative"},
  };
  for (const auto& [text, expected] : cases) {
    const json source = json::parse(text);
    EXPECT_NO_THROW(ParseProject(source, {})) << text;
    try {
      ParseProject(source, {}, Strictness::EditorValues);
      ADD_FAILURE() << "accepted " << text;
    } catch (const ProjectError& error) {
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
  const Project empty =
      ParseProject(json::parse(R"({"timelines":[{"id":1,"sequence":{"rect":[5,5,5,5]}}]})"), {},
                   Strictness::EditorValues);
  EXPECT_EQ(empty.timelines[0].sequence->rect.right, 5);
}

TEST(ProjectTest, FaultsInNodesAndSegmentsNameTheirPath) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"timelines":[{"id":1,"segments":[{"start":0,"end":1},{"start":1,"end":2},
          {"start":2,"end":3,"root":{"kind":3}}]}]})",
       "timelines[0].segments[2].root.kind: expected a string"},
      {R"({"timelines":[{"id":1,"segments":[{"start":0,"end":1,"root":{"inputs":[{"node":
          {"operators":[{"kind":null}]}}]}}]}]})",
       "timelines[0].segments[0].root.inputs[0].node.operators[0].kind: expected a string"},
      {R"({"timelines":[{"id":1,"segments":[{"start":20,"end":15}]}]})",
       "timelines[0].segments[0].end: \"end\" must come after \"start\""},
  };
  for (const auto& [text, expected] : cases) {
    try {
      ParseProject(json::parse(text), {});
      ADD_FAILURE() << "accepted " << text;
    } catch (const ProjectError& error) {
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
  EXPECT_EQ(ParseProject(json::parse(R"({"timelines":[{"id":1,"segments":[{"start":0,"end":1,
                                          "root":{"kind":"Any text at all"}}]}]})"),
                         {})
                .timelines[0]
                .segments[0]
                .root->kind,
            "Any text at all");
}

TEST(ProjectTest, ProjectFilesAreReadStrictlyAndSyntaxErrorsNameLineAndColumn) {
  const std::string path = ::testing::TempDir() + "hostsim-strict-project.json";
  std::ofstream(path) << "{\n  \"solo\": true,\n  \"hostMarkerCount\": tru\n}\n";
  try {
    LoadProjectFile(path);
    ADD_FAILURE() << "accepted a syntax error";
  } catch (const ProjectError& error) {
    EXPECT_NE(std::string(error.what()).find(path + ":3:"), std::string::npos) << error.what();
  }
  std::ofstream(path) << R"({"timelines":[{"id":4,"sequence":{"ticksPerFrame":0}}]})";
  try {
    LoadProjectFile(path);
    ADD_FAILURE() << "accepted a zero frame duration";
  } catch (const ProjectError& error) {
    EXPECT_EQ(std::string(error.what()), "project file " + path +
                                             ": timelines[0].sequence.ticksPerFrame: must be "
                                             "positive");
  }
  std::remove(path.c_str());
}

TEST(ProjectTest, DeeplyNestedNodesAreRefusedInsteadOfExhaustingTheStack) {
  json node = json::object();
  for (int depth = 0; depth < 300; ++depth) {
    json parent = json::object();
    parent["operators"] = json::array();
    parent["operators"].push_back(std::move(node));
    node = std::move(parent);
  }
  json project = json::object();
  project["timelines"] = json::array();
  project["timelines"].push_back({{"id", 1}, {"segments", json::array()}});
  project["timelines"][0]["segments"].push_back({{"start", 0}, {"end", 1}});
  project["timelines"][0]["segments"][0]["root"] = std::move(node);
  EXPECT_THROW(ParseProject(project, {}), ProjectError);
}

TEST(ProjectTest, ProjectFilesThatAreMissingOrMalformedThrow) {
  EXPECT_THROW(LoadProjectFile("/nonexistent/project.json"), ProjectError);
  const std::string path = ::testing::TempDir() + "hostsim-project.json";
  std::ofstream(path) << "{\"solo\": tru";
  EXPECT_THROW(LoadProjectFile(path), ProjectError);
  std::ofstream(path) << R"({"solo": true, "hostMarkerCount": 12})";
  EXPECT_EQ(LoadProjectFile(path).at("hostMarkerCount"), 12);
  std::remove(path.c_str());
}

TEST(ProjectTest, DemoProjectIsValidAndRich) {
  const Project project = ParseProject(DemoProject(), {});
  ASSERT_GE(project.timelines.size(), 3u);
  for (const Timeline& timeline : project.timelines) {
    EXPECT_GT(timeline.id, 2);
    EXPECT_TRUE(timeline.sequence.has_value());
    EXPECT_FALSE(timeline.markers.empty());
    EXPECT_GE(timeline.segments.size(), 3u);
  }
  EXPECT_GE(project.commands.size(), 18u);
  EXPECT_TRUE(project.mixer.has_value());
}

} // namespace
} // namespace zylsim
