// Matching order, fall-through to the host, the constant replies and the parse reactions,
// through the dispatcher of an attached surface.
#include "ProtocolTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using zyltest::ExecEvent;
using zyltest::ExecEvents;
using zyltest::InProcessEngine;

nlohmann::json ProjectWithOneTimeline() {
  return nlohmann::json::parse(R"({
    "ticksPerSecond": 30000,
    "commands": [["cmd.undo", "Undo", "edit", "Undo the last edit"]],
    "timelines": [{
      "id": 3,
      "sequence": {"ticksPerFrame": 1001, "rect": [0, 0, 1280, 720], "par": [1, 1],
                   "dropFrame": false, "zeroPoint": 0},
      "markers": [{"name": "Intro", "time": 0}]
    }]
  })");
}

TEST(DispatchCommandTest, ExactNamesAreAnsweredOnlyWhenTheyMatchByteForByte) {
  InProcessEngine engine(ProjectWithOneTimeline());
  EXPECT_EQ(engine.Dispatch("get.version"), std::vector<std::string>{"version:1.2.4"});

  // Nothing is trimmed or folded: each of these is a host command name, run and not answered.
  const std::string nearMisses[] = {"get.version ",  "get.version\n",     "get.version\r",
                                    "GET.VERSION",   "get.angle",         "dump.angle",
                                    "debug.tlscan",  "get.sequencex",     "exec",
                                    "get.commands:", "vitals.subscribe ", "get.info\n"};
  for (const std::string& text : nearMisses)
    EXPECT_TRUE(engine.Dispatch(text).empty()) << "text: " << text;

  std::vector<nlohmann::json> expected;
  for (const std::string& text : nearMisses)
    expected.push_back(ExecEvent(nullptr, text));
  EXPECT_EQ(ExecEvents(engine), expected);
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DispatchCommandTest, InfoRecordIsCompactAndOrdered) {
  InProcessEngine engine(ProjectWithOneTimeline());
  const std::string reply = engine.DispatchOne("get.info");
  ASSERT_EQ(reply.rfind("info:", 0), 0u) << reply;
  const std::string record = reply.substr(5);
  const auto info = nlohmann::ordered_json::parse(record);
  EXPECT_EQ(info.dump(), record) << "not compact, or members were reordered";

  std::vector<std::string> members;
  for (const auto& item : info.items())
    members.push_back(item.key());
  EXPECT_EQ(members,
            (std::vector<std::string>{"engine", "version", "api", "platform", "commands",
                                      "unstable", "events", "updateUrl", "downloadUrl", "docsUrl",
                                      "licenseUrl", "originPolicy", "telemetry"}));
  EXPECT_EQ(info["engine"], "ZYL Engine");
  EXPECT_EQ(info["version"], "1.2.4");
  EXPECT_EQ(info["api"], 1);
  EXPECT_EQ(info["platform"], "win");
  EXPECT_EQ(info["commands"],
            nlohmann::ordered_json::parse(
                R"(["get.version","get.info","get.sequence","get.angle","get.angle.marker",
                    "get.clipsize","get.clipsize.marker","get.transitions","get.commands",
                    "exec","multicam.angle","vitals.subscribe","dump.angle","debug.tlscan"])"));
  EXPECT_EQ(info["unstable"], nlohmann::ordered_json::parse(R"(["dump.angle","debug.tlscan"])"));
  EXPECT_EQ(info["events"], nlohmann::ordered_json::parse(R"(["vitals","event:transport"])"));
  EXPECT_EQ(info["originPolicy"], "allowlist");
  EXPECT_EQ(info["telemetry"], false);

  // All four addresses share the maker's site; only their paths are fixed.
  const std::string update = info["updateUrl"];
  const std::string suffix = "/zyl-engine/latest.json";
  ASSERT_GT(update.size(), suffix.size());
  ASSERT_EQ(update.substr(update.size() - suffix.size()), suffix);
  const std::string site = update.substr(0, update.size() - suffix.size());
  EXPECT_EQ(site.rfind("https://", 0), 0u) << site;
  EXPECT_EQ(info["downloadUrl"], site + "/zyl-engine");
  EXPECT_EQ(info["docsUrl"], site + "/zyl-engine/api");
  EXPECT_EQ(info["licenseUrl"], site + "/zyl-engine/license");
}

TEST(DispatchCommandTest, ParseFailuresGetTheirCommandsOwnReplyAndReachNoHost) {
  InProcessEngine engine(ProjectWithOneTimeline());
  const std::pair<std::string, std::string> cases[] = {
      {"get.angle:", "angle.error:parse"},
      {"get.angle:12:", "angle.error:parse"},
      {"get.angle:x:1", "angle.error:parse"},
      {"dump.angle:", "dump.error:parse"},
      {"dump.angle:5:", "dump.error:parse"},
      {"get.clipsize:5", "clipsize.error:parse"},
      {"get.clipsize:5:x", "clipsize.error:parse"},
      {"get.transitions:1:2", "transitions.error:parse"},
      {"multicam.angle:", "multicam.angle.error:parse"},
      {"multicam.angle:2147483648", "multicam.angle.error:parse"},
      {"exec:cmd.undo", "exec.error:parse"},
      {"exec:edit:", "exec.error:parse"},
      {"get.sequence:abc", "sequence.error:parse"},
      {"get.sequence: ", "sequence.error:parse"},
  };
  for (const auto& [text, reply] : cases)
    EXPECT_EQ(engine.Dispatch(text), std::vector<std::string>{reply}) << "text: " << text;
  EXPECT_TRUE(ExecEvents(engine).empty());
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DispatchCommandTest, MarkerCommandsShareOneParseAndAnswerInTheirOwnKind) {
  InProcessEngine engine(ProjectWithOneTimeline());
  const std::pair<std::string, std::string> cases[] = {
      {"get.angle.marker:Intro", "angle:"},
      {"get.angle.marker:Intro:1", "angle:"},
      {"get.angle.marker:Act one:Scene", "angle:"}, // unreadable track: runs, no parse error
      {"get.clipsize.marker:Intro", "clipsize:"},
      {"get.clipsize.marker:No such:marker:2", "clipsize:"},
  };
  for (const auto& [text, kind] : cases) {
    const std::vector<std::string> replies = engine.Dispatch(text);
    ASSERT_FALSE(replies.empty()) << "text: " << text;
    EXPECT_EQ(replies.front().rfind(kind, 0), 0u) << "text: " << text << " -> " << replies[0];
  }
  EXPECT_TRUE(ExecEvents(engine).empty());
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DispatchCommandTest, TimelineScanRunsWithDefaultsOrClampedValues) {
  InProcessEngine engine(ProjectWithOneTimeline());
  const std::pair<std::string, std::string> cases[] = {
      {"debug.tlscan:x", R"(tlscan:{"from":0,"to":0,"scanned":0,)"},
      {"debug.tlscan:1:x:5", R"(tlscan:{"from":0,"to":0,"scanned":0,)"},
      {"debug.tlscan:-7:5", R"(tlscan:{"from":0,"to":5,"scanned":5,)"},
      {"debug.tlscan:2:4:1000", R"(tlscan:{"from":2,"to":4,"scanned":2,)"},
  };
  for (const auto& [text, start] : cases) {
    const std::string reply = engine.DispatchOne(text);
    EXPECT_EQ(reply.rfind(start, 0), 0u) << "text: " << text << " -> " << reply;
  }
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(DispatchCommandTest, BareSequenceNameAndBarePrefixAreTheSameRequest) {
  InProcessEngine engine(ProjectWithOneTimeline());
  const std::string bare = engine.DispatchOne("get.sequence");
  EXPECT_EQ(bare.rfind(R"(sequence:{"timelineID":3,)", 0), 0u) << bare;
  EXPECT_EQ(engine.DispatchOne("get.sequence:"), bare);
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
