// The JSON protocol's timeline, marker, sequence and vitals methods, run in process against
// simulated projects, and the protocol description checked against what the methods give.
#include "protocol/JsonMethods.h"

#include "support/InProcessEngine.h"
#include "timeline/TimelineProjects.h"
#include "vitals/EventTexts.h"
#include "vitals/VitalsData.h"
#include "vitals/VitalsRecord.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using namespace zyltest::timeline;
using zyltest::InProcessEngine;
using Json = nlohmann::json;

// The result, or {"error": {...}} with the code, param and status when the method failed.
Json Call(InProcessEngine& engine, std::string_view method, const Json& params = Json::object()) {
  ZYL::EngineParts parts = engine.surface().Parts();
  const ZYL::Outcome outcome = ZYL::RunMethod(parts, method, params);
  if (const auto* result = std::get_if<Json>(&outcome)) return *result;
  const auto& error = std::get<ZYL::ResponseError>(outcome);
  Json described = {{"code", ZYL::ErrorCodeName(error.code)}};
  if (error.param) described["param"] = *error.param;
  if (error.status) described["status"] = *error.status;
  return {{"error", described}};
}

Json ErrorOf(std::string_view code, std::string_view param) {
  return {{"error", {{"code", code}, {"param", param}}}};
}

Json HostErrorOf(std::int64_t status) {
  return {{"error", {{"code", "host_error"}, {"status", status}}}};
}

// A project-wide fault: the call at `position` of `suite` answers `status` for every timeline.
json FailingCall(std::string_view suite, int position, std::int64_t status) {
  return json::array({{{"suite", suite}, {"position", position}, {"status", status}}});
}

std::int32_t CurrentTimeline(InProcessEngine& engine) {
  return engine.surface().timelines.CurrentTimeline();
}

json Sequence() {
  return {{"ticksPerFrame", 1001},
          {"rect", {0, 0, 1920, 1080}},
          {"par", {1, 1}},
          {"dropFrame", false},
          {"zeroPoint", 0}};
}

// Two timelines: 1 holds a multicam clip at angle 2 and the markers; 2 a clip of another
// size and angle, and from 1000 a clip with a transition at its start only.
json TwoTimelines() {
  json first =
      Timeline(1, {Segment(0, 1000, Clip("1", {NestedMulticam("1"), SizedMedia(1920, 1080)}))},
               {MarkerAt("Caf\u00e9", 0), MarkerAt("Caf_", 500)});
  first["sequence"] = Sequence();
  json second =
      Timeline(2, {Segment(0, 1000, Clip("1", {NestedMulticam("4"), SizedMedia(640, 480)})),
                   Segment(1000, 1500, Group({Clip("1"), Transition("Dissolve", "20")})),
                   Segment(1500, 2000, Clip("1"))});
  return Project({first, second});
}

TEST(AngleGetTest, FoundNothingFoundAndOneTimelineAlone) {
  InProcessEngine engine(TwoTimelines());
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", 0}}), Json({{"angle", 2}, {"timelineID", 1}}));
  // What one client finds does not become what another's queries mean.
  EXPECT_EQ(CurrentTimeline(engine), -1);
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", 5000}}),
            Json({{"angle", nullptr}, {"timelineID", nullptr}}));
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", 0}, {"timeline", 2}}),
            Json({{"angle", 5}, {"timelineID", 2}}));
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", 0}, {"timeline", 9}}),
            ErrorOf("not_found", "timeline"));
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", 0}, {"timeline", -1}}),
            ErrorOf("invalid_params", "timeline"));
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", "0"}}), ErrorOf("invalid_params", "ticks"));
  EXPECT_EQ(Call(engine, "angle.get", {{"ticks", 0}, {"track", 1.0}}),
            ErrorOf("invalid_params", "track"));
  EXPECT_EQ(Call(engine, "angle.get"), ErrorOf("invalid_params", "ticks"));
}

TEST(AngleGetTest, ATimelineQueryLeavesTheTextProtocolsSearchOrder) {
  InProcessEngine engine(TwoTimelines());
  ASSERT_EQ(engine.DispatchOne("get.angle:0"), "angle:2");
  ASSERT_EQ(CurrentTimeline(engine), 1);
  const std::vector<std::int32_t> order = engine.surface().timelines.OrderedTimelines();
  for (const char* method : {"angle.get", "clip.size", "debug.dumpAngle"})
    Call(engine, method, {{"ticks", 0}, {"timeline", 2}});
  Call(engine, "clip.transitions", {{"start", 1000}, {"end", 2000}, {"track", 1}, {"timeline", 2}});
  EXPECT_EQ(engine.surface().timelines.OrderedTimelines(), order);
  EXPECT_EQ(engine.DispatchOne("get.angle:0"), "angle:2");
}

TEST(AngleAtMarkerTest, NamesAreComparedExactly) {
  InProcessEngine engine(TwoTimelines());
  EXPECT_EQ(Call(engine, "angle.atMarker", {{"name", "Caf\u00e9"}}),
            Json({{"angle", 2}, {"marker", {{"timelineID", 1}, {"ticks", 0}}}}));
  // The text protocol's folding would have matched the first marker; exactly, the second.
  EXPECT_EQ(Call(engine, "angle.atMarker", {{"name", "Caf_"}})["marker"]["ticks"], 500);
  EXPECT_EQ(Call(engine, "angle.atMarker", {{"name", "Cafe"}}),
            Json({{"angle", nullptr}, {"marker", nullptr}}));
  EXPECT_EQ(Call(engine, "angle.atMarker", {{"name", 3}}), ErrorOf("invalid_params", "name"));
}

TEST(ClipSizeTest, FoundNothingFoundAndOneTimelineAlone) {
  InProcessEngine engine(TwoTimelines());
  EXPECT_EQ(Call(engine, "clip.size", {{"ticks", 0}}),
            Json({{"width", 1920}, {"height", 1080}, {"timelineID", 1}}));
  EXPECT_EQ(Call(engine, "clip.size", {{"ticks", 0}, {"timeline", 2}}),
            Json({{"width", 640}, {"height", 480}, {"timelineID", 2}}));
  EXPECT_EQ(Call(engine, "clip.size", {{"ticks", 5000}}),
            Json({{"width", nullptr}, {"height", nullptr}, {"timelineID", nullptr}}));
  EXPECT_EQ(Call(engine, "clip.size", {{"ticks", 0}, {"timeline", 3}}),
            ErrorOf("not_found", "timeline"));
  EXPECT_EQ(Call(engine, "clip.size", {{"ticks", 0}, {"endTicks", "x"}}),
            ErrorOf("invalid_params", "endTicks"));
}

TEST(ClipSizeAtMarkerTest, TheMarkerAndItsClip) {
  InProcessEngine engine(TwoTimelines());
  EXPECT_EQ(Call(engine, "clip.sizeAtMarker", {{"name", "Caf\u00e9"}}),
            Json({{"width", 1920},
                  {"height", 1080},
                  {"timelineID", 1},
                  {"marker", {{"timelineID", 1}, {"ticks", 0}}}}));
  EXPECT_EQ(
      Call(engine, "clip.sizeAtMarker", {{"name", "none"}}),
      Json(
          {{"width", nullptr}, {"height", nullptr}, {"timelineID", nullptr}, {"marker", nullptr}}));
  EXPECT_EQ(Call(engine, "clip.sizeAtMarker", {{"track", 1}}), ErrorOf("invalid_params", "name"));
}

TEST(ClipTransitionsTest, SidesAreNullWhereNothingIsAndNoClipIsNotFound) {
  InProcessEngine engine(TwoTimelines());
  EXPECT_EQ(Call(engine, "clip.transitions", {{"start", 1000}, {"end", 2000}, {"track", 1}}),
            Json({{"in", {{"name", "Dissolve"}, {"durationTicks", 20}}},
                  {"out", nullptr},
                  {"timelineID", 2}}));
  // No clip at those ends is the text protocol's noclip, not a clip without transitions.
  EXPECT_EQ(Call(engine, "clip.transitions",
                 {{"start", 1000}, {"end", 2000}, {"track", 1}, {"timeline", 1}}),
            Json({{"error", {{"code", "not_found"}}}}));
  EXPECT_EQ(Call(engine, "clip.transitions", {{"start", 5000}, {"end", 6000}, {"track", 1}}),
            Json({{"error", {{"code", "not_found"}}}}));
  EXPECT_EQ(Call(engine, "clip.transitions",
                 {{"start", 1000}, {"end", 2000}, {"track", 1}, {"timeline", 4}}),
            ErrorOf("not_found", "timeline"));
  EXPECT_EQ(Call(engine, "clip.transitions", {{"start", 1000}, {"end", 2000}}),
            ErrorOf("invalid_params", "track"));
}

TEST(MarkersListTest, TheSequencesMarkersWithExactNames) {
  json project = TwoTimelines();
  project["timelines"][0]["markers"].push_back({{"name", nullptr}, {"time", nullptr}});
  InProcessEngine engine(project);
  const Json expected = {{"timelineID", 1},
                         {"markers",
                          {{{"index", 0}, {"name", "Caf\u00e9"}, {"ticks", 0}},
                           {{"index", 1}, {"name", "Caf_"}, {"ticks", 500}},
                           {{"index", 2}, {"name", nullptr}, {"ticks", nullptr}}}}};
  EXPECT_EQ(Call(engine, "markers.list"), expected);
  EXPECT_EQ(Call(engine, "markers.list", {{"timeline", 2}}),
            Json({{"timelineID", 2}, {"markers", Json::array()}}));
  EXPECT_EQ(Call(engine, "markers.list", {{"timeline", 8}}), ErrorOf("not_found", "timeline"));
  EXPECT_EQ(Call(engine, "markers.list", {{"timeline", "1"}}),
            ErrorOf("invalid_params", "timeline"));
}

// Regression: a marker count refused as a bad parameter, for a timeline the host knows, was
// answered as no such timeline, or as no markers.
TEST(MarkersListTest, ARefusedCountIsAHostErrorWithItsStatus) {
  for (const std::int64_t status : {std::int64_t{77}, std::int64_t{hostsdk::kBadParameter}}) {
    SCOPED_TRACE(status);
    json project = TwoTimelines();
    project["failingCalls"] = FailingCall("Marker Suite", 0, status);
    InProcessEngine engine(project);
    EXPECT_EQ(Call(engine, "markers.list", {{"timeline", 1}}), HostErrorOf(status));
    EXPECT_EQ(Call(engine, "markers.list"), HostErrorOf(status));
    EXPECT_EQ(Call(engine, "markers.list", {{"timeline", 8}}), ErrorOf("not_found", "timeline"));
  }
}

TEST(MarkersListTest, NoTimelineAndNoSuite) {
  InProcessEngine empty(Project({}));
  EXPECT_EQ(Call(empty, "markers.list"),
            Json({{"timelineID", nullptr}, {"markers", Json::array()}}));
  json project = TwoTimelines();
  project["unavailableSuites"] = {"Marker Suite"};
  InProcessEngine noMarkers(project);
  EXPECT_EQ(Call(noMarkers, "markers.list", {{"timeline", 1}})["error"]["code"], "unavailable");
}

TEST(SequencesListTest, EveryKnownTimelineWithNullsWhereTheHostGivesNone) {
  InProcessEngine engine(TwoTimelines());
  ASSERT_EQ(engine.DispatchOne("get.angle:0"), "angle:2");
  const Json list = Call(engine, "sequences.list");
  ASSERT_EQ(list["sequences"].size(), 2u) << list;
  const Json& first = list["sequences"][0];
  EXPECT_EQ(first["timelineID"], 1);
  EXPECT_EQ(first["current"], true);
  EXPECT_EQ(first["ticksPerFrame"], 1001);
  const Json& second = list["sequences"][1];
  EXPECT_EQ(second["timelineID"], 2);
  EXPECT_EQ(second["current"], false);
  EXPECT_TRUE(second["fps"].is_null());
  EXPECT_EQ(second.size(), first.size());
  EXPECT_EQ(CurrentTimeline(engine), 1);
}

// Regression: sequence.get alone of the methods with a timeline param left out which param
// named the unknown timeline.
TEST(SequenceGetTest, AnUnknownTimelineIsNotFoundNamingTheParam) {
  InProcessEngine engine(TwoTimelines());
  EXPECT_EQ(Call(engine, "sequence.get", {{"timeline", 1}})["timelineID"], 1);
  EXPECT_EQ(Call(engine, "sequence.get", {{"timeline", 9}}), ErrorOf("not_found", "timeline"));
}

// Regression: a refused frame duration, and a timeline the host knows without sequence
// settings, were both answered as no such timeline.
TEST(SequenceGetTest, OnlyATimelineTheHostDoesNotKnowIsNotFound) {
  InProcessEngine engine(TwoTimelines());
  Json listed = Call(engine, "sequences.list")["sequences"][1];
  ASSERT_EQ(listed["timelineID"], 2) << listed;
  listed.erase("current");
  EXPECT_EQ(Call(engine, "sequence.get", {{"timeline", 2}}), listed);

  json refusing = TwoTimelines();
  refusing["failingCalls"] = FailingCall("Media Sequence Info Suite", 2, 77);
  InProcessEngine refused(refusing);
  EXPECT_EQ(Call(refused, "sequence.get", {{"timeline", 1}}), HostErrorOf(77));
  EXPECT_EQ(Call(refused, "sequence.get"), HostErrorOf(77));
  EXPECT_EQ(Call(refused, "sequence.get", {{"timeline", 9}}), ErrorOf("not_found", "timeline"));
}

// Regression: a refused pixel aspect ratio was answered as 1:1, the text protocol's default.
TEST(SequenceGetTest, WhatTheHostRefusedIsNull) {
  json project = TwoTimelines();
  project["failingCalls"] = FailingCall("Media Sequence Info Suite", 1, 1);
  InProcessEngine engine(project);
  const Json sequence = Call(engine, "sequence.get", {{"timeline", 1}});
  EXPECT_TRUE(sequence.at("parNum").is_null()) << sequence;
  EXPECT_TRUE(sequence.at("parDen").is_null()) << sequence;
  EXPECT_EQ(sequence["width"], 1920) << sequence;
  EXPECT_EQ(Call(engine, "sequences.list")["sequences"][0]["parNum"], nullptr);
}

// Regression: a timeline removed from the project stayed in the list, all null, as if it
// were one the host could not describe.
TEST(SequencesListTest, ATimelineTheHostNoLongerKnowsIsNotListed) {
  InProcessEngine engine(TwoTimelines());
  ASSERT_EQ(Call(engine, "sequences.list")["sequences"].size(), 2u);
  json second = TwoTimelines()["timelines"][1];
  second["sequence"] = Sequence();
  ASSERT_TRUE(engine.sim().Execute("set timelines " + json::array({second}).dump()));
  const Json list = Call(engine, "sequences.list");
  ASSERT_EQ(list["sequences"].size(), 1u) << list;
  EXPECT_EQ(list["sequences"][0]["timelineID"], 2);
  EXPECT_EQ(list["sequences"][0]["ticksPerFrame"], 1001);
  // None that the engine knew is left: the list is what a new scan finds.
  ASSERT_TRUE(engine.sim().Execute("set timelines " +
                                   json::array({Timeline(7, {Segment(0, 10, Clip("1"))})}).dump()));
  EXPECT_EQ(Call(engine, "sequences.list")["sequences"][0]["timelineID"], 7);
}

json ProjectWithCommand() {
  json project = TwoTimelines();
  project["commands"] = json::array({json::array({"a", "b", "c", "d"})});
  return project;
}

// Regression: host errors of the command methods left out the host's status.
TEST(CommandMethodsTest, HostErrorsCarryTheHostsStatus) {
  json failingCount = ProjectWithCommand();
  failingCount["failingCalls"] = FailingCall("HOSTSDK ControlSurfaceHost Command Suite", 1, 7);
  InProcessEngine noCount(failingCount);
  EXPECT_EQ(Call(noCount, "commands.list"), HostErrorOf(7));
  EXPECT_EQ(Call(noCount, "commands.run", {{"command", "a"}}), HostErrorOf(7));
  json failingString = ProjectWithCommand();
  failingString["failingCalls"] = FailingCall("HOSTSDK StringSuite", 1, 5);
  InProcessEngine noString(failingString);
  EXPECT_EQ(Call(noString, "commands.run", {{"command", "a"}}), HostErrorOf(5));
}

// Regression: the camera switch answered ok with no Command suite to run it.
TEST(CommandMethodsTest, WithoutTheCommandSuiteEveryCommandMethodIsUnavailable) {
  json project = ProjectWithCommand();
  project["unavailableSuites"] = {"HOSTSDK ControlSurfaceHost Command Suite"};
  InProcessEngine engine(project);
  for (const auto& [method, params] :
       {std::pair<const char*, Json>{"commands.list", Json::object()},
        {"commands.run", {{"command", "a"}}},
        {"multicam.setAngle", {{"angle", 2}}}})
    EXPECT_EQ(Call(engine, method, params), Json({{"error", {{"code", "unavailable"}}}})) << method;
}

TEST(VitalsGetTest, ValuesTheHostCannotGiveAreNull) {
  json project = TwoTimelines();
  project["hostMarkerCount"] = 3;
  InProcessEngine engine(project);
  ASSERT_EQ(engine.DispatchOne("get.angle:0"), "angle:2");
  const Json vitals = Call(engine, "vitals.get");
  EXPECT_EQ(vitals["cuts"], 1);
  EXPECT_EQ(vitals["markers"], 5); // two on timeline 1, none on 2, three of the host's
  EXPECT_EQ(vitals["playing"], false);
  for (const char* unknown :
       {"speed", "edited", "seqChanged", "cutsChanged", "timecode", "tracks", "audioPeakDb"})
    EXPECT_TRUE(vitals.at(unknown).is_null()) << unknown;
}

// Whether `value` has exactly the described members, each of its type, null only where
// the description allows it.
void ExpectDescribed(const Json& value, const Json& members, const std::string& where) {
  ASSERT_TRUE(value.is_object()) << where << ": " << value;
  EXPECT_EQ(value.size(), members.size()) << where << ": " << value;
  for (const Json& member : members) {
    const std::string name = member["name"];
    const std::string at = where + "." + name;
    EXPECT_FALSE(member["summary"].get<std::string>().empty()) << at;
    if (!value.contains(name)) {
      ADD_FAILURE() << at << " is described but missing";
      continue;
    }
    const Json& item = value[name];
    if (item.is_null()) {
      EXPECT_TRUE(member["nullable"].get<bool>()) << at << " is null";
      continue;
    }
    const std::string type = member["type"];
    if (type == "integer" || type == "ticks" || type == "timelineID")
      EXPECT_TRUE(item.is_number_integer()) << at;
    else if (type == "number")
      EXPECT_TRUE(item.is_number()) << at;
    else if (type == "string")
      EXPECT_TRUE(item.is_string()) << at;
    else if (type == "boolean")
      EXPECT_TRUE(item.is_boolean()) << at;
    else if (type == "object" && member.contains("members"))
      ExpectDescribed(item, member["members"], at);
    else if (type == "array") {
      ASSERT_TRUE(item.is_array()) << at;
      for (const Json& element : item)
        if (member["items"].contains("members"))
          ExpectDescribed(element, member["items"]["members"], at + "[]");
    }
  }
}

// Params that make each method give a full result in TwoTimelines().
Json FullResultParams() {
  return {
      {"commands.run", {{"command", "none"}}},
      {"multicam.setAngle", {{"angle", 1}}},
      {"angle.get", {{"ticks", 0}}},
      {"angle.atMarker", {{"name", "Caf_"}}},
      {"clip.size", {{"ticks", 0}}},
      {"clip.sizeAtMarker", {{"name", "Caf_"}}},
      {"clip.transitions", {{"start", 1000}, {"end", 2000}, {"track", 1}}},
      {"debug.dumpAngle", {{"ticks", 0}}},
      {"debug.timelineScan", {{"to", 4}}},
      {"timeline.pin", {{"timeline", nullptr}}},
  };
}

TEST(ProtocolDescriptionTest, EveryMethodsResultMatchesItsDescription) {
  InProcessEngine engine(TwoTimelines());
  const Json params = FullResultParams();
  const Json description = ZYL::DescribeProtocol();
  ASSERT_EQ(description["methods"].size(), ZYL::Methods().size());
  for (const Json& method : description["methods"]) {
    const std::string name = method["name"];
    EXPECT_FALSE(method["summary"].get<std::string>().empty()) << name;
    for (const Json& param : method["params"])
      EXPECT_FALSE(param["summary"].get<std::string>().empty()) << name << "." << param["name"];
    const Json result = Call(engine, name, params.value(name, Json::object()));
    // Only commands.run may fail here: the project lists no host commands.
    if (name == "commands.run") {
      EXPECT_EQ(result["error"]["code"], "unknown_command") << result;
      continue;
    }
    // A pin is a connection's: its result is checked end to end (PlayheadTopicsTest).
    if (name == "timeline.pin") {
      EXPECT_EQ(result["error"]["code"], "unavailable") << result;
      continue;
    }
    ExpectDescribed(result, method["result"], name);
  }
}

// Regression: timeline params refused negative ids that their description did not bound.
TEST(ProtocolDescriptionTest, EveryIntegerParamTakesWhatItsDescriptionAllowsAndNoMore) {
  InProcessEngine engine(TwoTimelines());
  const Json full = FullResultParams();
  const auto faultOf = [&](const std::string& method, const Json& param, const Json& value) {
    Json params = full.value(method, Json::object());
    params[param["name"].get<std::string>()] = value;
    const Json result = Call(engine, method, params);
    return result.contains("error") && result["error"].value("param", "") == param["name"]
               ? result["error"]["code"].get<std::string>()
               : std::string();
  };
  const Json description = ZYL::DescribeProtocol();
  for (const Json& method : description["methods"]) {
    for (const Json& param : method["params"]) {
      const std::string type = param["type"];
      if (type == "string") continue;
      const std::int64_t widest = type == "ticks" ? INT64_MIN : INT32_MIN;
      const std::int64_t lowest = param.value("minimum", widest);
      const std::string where = method["name"].get<std::string>() + "." + param["name"].dump();
      EXPECT_NE(faultOf(method["name"], param, lowest), "invalid_params") << where;
      if (lowest > widest) {
        EXPECT_EQ(faultOf(method["name"], param, lowest - 1), "invalid_params") << where;
      }
    }
  }
}

TEST(ProtocolDescriptionTest, EveryTopicsDataMatchesWhatTheTextProtocolPushes) {
  const Json topics = ZYL::DescribeProtocol()["topics"];
  ASSERT_EQ(topics.size(), 5u);
  const auto data = [](const std::string& push, std::string_view prefix) {
    return Json::parse(push.substr(prefix.size()));
  };
  ExpectDescribed(data(ZYL::TransportEventText("play", true), "event:transport:"),
                  topics[0]["data"], "transport");
  ExpectDescribed(data(ZYL::MarkerChangedText(4, 12), "event:marker:"), topics[1]["data"],
                  "marker");
  ExpectDescribed(ZYL::VitalsData(ZYL::FormatVitalsRecord(ZYL::VitalsValues{})),
                  topics[2]["data"], "vitals");
  // The playhead and sequence topics push what their methods answer.
  InProcessEngine engine(TwoTimelines());
  ExpectDescribed(Call(engine, "playhead.get"), topics[3]["data"], "playhead");
  ExpectDescribed(Call(engine, "sequence.get"), topics[4]["data"], "sequence");
}

// Regression: a JSON-protocol query that found something on a timeline made it the engine's
// current one, so one client's question changed what every other client's sequence.get,
// markers.list and text commands meant.
TEST(CurrentTimelineTest, NoJsonMethodMovesTheEnginesCurrentTimeline) {
  {
    InProcessEngine engine(TwoTimelines());
    ASSERT_EQ(engine.DispatchOne("get.transitions:1000:2000:1").rfind("transitions:", 0), 0u);
    ASSERT_EQ(CurrentTimeline(engine), 2);
    const Json calls = {
        {"angle.get", {{"ticks", 0}}},
        {"clip.size", {{"ticks", 0}}},
        {"angle.atMarker", {{"name", "Caf\u00e9"}}},
        {"clip.sizeAtMarker", {{"name", "Caf\u00e9"}}},
        {"clip.transitions", {{"start", 1000}, {"end", 2000}, {"track", 1}}},
        {"debug.dumpAngle", {{"ticks", 0}}},
        {"vitals.get", Json::object()},
    };
    for (const auto& [method, params] : calls.items()) {
      Call(engine, method, params);
      EXPECT_EQ(CurrentTimeline(engine), 2) << method;
    }
  }

  // With no current timeline, neither a scan nor the vitals record sets one.
  InProcessEngine fresh(TwoTimelines());
  ASSERT_EQ(CurrentTimeline(fresh), -1);
  Call(fresh, "debug.timelineScan", {{"from", 0}, {"to", 10}, {"budgetMs", 500}});
  EXPECT_EQ(CurrentTimeline(fresh), -1);
  Call(fresh, "vitals.get");
  EXPECT_EQ(CurrentTimeline(fresh), -1);
  Call(fresh, "angle.atMarker", {{"name", "Caf\u00e9"}});
  EXPECT_EQ(CurrentTimeline(fresh), -1);
  // The text protocol's commands still move it.
  ASSERT_EQ(fresh.DispatchOne("get.angle:0"), "angle:2");
  EXPECT_EQ(CurrentTimeline(fresh), 1);
}

} // namespace
