// Listing and running host commands: get.commands, exec, multicam.angle and the fall-through,
// against the simulated host's Command and String suites.
#include "ProtocolTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
using zyltest::ExecEvent;
using zyltest::ExecEvents;
using zyltest::InProcessEngine;

constexpr const char* kCommandSuite = "HOSTSDK ControlSurfaceHost Command Suite";
constexpr const char* kStringSuite = "HOSTSDK StringSuite";

json ProjectWithCommands(json commands) { return {{"commands", std::move(commands)}}; }

std::vector<std::string> Replies(std::initializer_list<const char*> texts) {
  return {texts.begin(), texts.end()};
}

TEST(GetCommandsTest, ListsEveryDescribableCommandThenTheHostsCount) {
  struct Case {
    const char* name;
    json commands;
    std::vector<std::string> replies;
  };
  const std::string longName(3000, 'n');
  const Case cases[] = {
      {"no commands", json::array(), Replies({"commands.done:0"})},
      {"fields reordered first, third, second, fourth",
       json::parse(R"([["cmd.undo", "Undo", "edit", "Undo the last edit"]])"),
       Replies({"command:cmd.undo:edit:Undo:Undo the last edit", "commands.done:1"})},
      {"colons inside fields become semicolons", json::parse(R"([["a:b", "c::", ":d", "e:f:g"]])"),
       Replies({"command:a;b:;d:c;;:e;f;g", "commands.done:1"})},
      {"an entry the host cannot describe is skipped but counted",
       json::parse(R"([["a", "b", "c", "d"], null, ["e", "f", "g", "h"]])"),
       Replies({"command:a:c:b:d", "command:e:g:f:h", "commands.done:3"})},
      {"a text longer than the first buffer comes back whole",
       json::array({json::array({longName, "", "x", ""})}),
       {"command:" + longName + ":x::", "commands.done:1"}},
      {"a text of exactly 1023 bytes fits the first buffer",
       json::array({json::array({std::string(1023, 'm'), "", "", ""})}),
       {"command:" + std::string(1023, 'm') + ":::", "commands.done:1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InProcessEngine engine(ProjectWithCommands(c.commands));
    EXPECT_EQ(engine.Dispatch("get.commands"), c.replies);
    zyltest::ExpectLedgerBalancedAfterDetach(engine);
  }
}

TEST(GetCommandsTest, MissingSuiteOrFailingCountIsReported) {
  const json commands = json::parse(R"([["a", "b", "c", "d"]])");
  json withoutSuite = ProjectWithCommands(commands);
  withoutSuite["unavailableSuites"] = json::array({kCommandSuite});
  json failingCount = ProjectWithCommands(commands);
  failingCount["failingCalls"] =
      json::array({{{"suite", kCommandSuite}, {"position", 1}, {"status", 1}}});

  InProcessEngine noSuite(withoutSuite);
  EXPECT_EQ(noSuite.DispatchOne("get.commands"), "commands.error:nosuite");
  zyltest::ExpectLedgerBalancedAfterDetach(noSuite);

  InProcessEngine noCount(failingCount);
  EXPECT_EQ(noCount.DispatchOne("get.commands"), "commands.error:count");
  zyltest::ExpectLedgerBalancedAfterDetach(noCount);
}

TEST(ExecTest, EchoesTheRequestAndRunsTheCommandWithItsCategory) {
  struct Case {
    std::string text;
    std::string reply;
    json event;
  };
  const Case cases[] = {
      {"exec:edit:cmd.undo", "exec.ok:edit:cmd.undo", ExecEvent("edit", "cmd.undo")},
      {"exec::cmd.undo", "exec.ok::cmd.undo", ExecEvent(nullptr, "cmd.undo")},
      {"exec:edit:cmd:with:colons", "exec.ok:edit:cmd:with:colons",
       ExecEvent("edit", "cmd:with:colons")},
      {"exec:edit:no.such.command", "exec.ok:edit:no.such.command",
       ExecEvent("edit", "no.such.command")},
      {"exec:::", "exec.ok:::", ExecEvent(nullptr, ":")},
  };
  InProcessEngine engine(ProjectWithCommands(json::parse(R"([["cmd.undo", "", "", ""]])")));
  std::vector<json> expected;
  for (const Case& c : cases) {
    EXPECT_EQ(engine.Dispatch(c.text), std::vector<std::string>{c.reply}) << c.text;
    expected.push_back(c.event);
  }
  EXPECT_EQ(ExecEvents(engine), expected);
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(ExecTest, MissingSuiteIsReportedBeforeTheArgumentsAreLookedAt) {
  for (const char* unavailable : {kCommandSuite, kStringSuite}) {
    SCOPED_TRACE(unavailable);
    InProcessEngine engine(json{{"unavailableSuites", json::array({unavailable})}});
    for (const char* text : {"exec:malformed", "exec:edit:cmd.undo", "exec:"})
      EXPECT_EQ(engine.Dispatch(text), std::vector<std::string>{"exec.error:nosuite"}) << text;
    EXPECT_TRUE(ExecEvents(engine).empty());
    zyltest::ExpectLedgerBalancedAfterDetach(engine);
  }
}

TEST(ExecTest, UnallocatableStringsRunNothing) {
  InProcessEngine engine(json{
      {"failingCalls", json::array({{{"suite", kStringSuite}, {"position", 1}, {"status", 1}}})}});
  EXPECT_EQ(engine.Dispatch("exec:edit:cmd.undo"), std::vector<std::string>{"exec.error:alloc"});
  EXPECT_EQ(engine.Dispatch("exec::cmd.undo"), std::vector<std::string>{"exec.error:alloc"});
  EXPECT_TRUE(ExecEvents(engine).empty());
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

// Regression: the host reads names only up to a zero byte, so "cmd.undo\0junk" would have run
// cmd.undo while the reply echoed the whole text.
TEST(ExecTest, TextHoldingAZeroByteIsNeverHandedToTheHost) {
  InProcessEngine engine(json::object());
  const std::string withZero("cmd.undo\0junk", 13);
  EXPECT_EQ(engine.Dispatch("exec:edit:" + withZero), std::vector<std::string>{"exec.error:alloc"});
  EXPECT_EQ(engine.Dispatch("exec:" + withZero + ":cmd.undo"),
            std::vector<std::string>{"exec.error:alloc"});
  EXPECT_TRUE(engine.Dispatch(withZero).empty());
  EXPECT_TRUE(ExecEvents(engine).empty());
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(MulticamAngleTest, RunsTheHostsCameraCommandForCamerasOneToSixteen) {
  struct Case {
    std::string rest;
    std::string reply;
    const char* command; // the host command run, or null for none
  };
  const Case cases[] = {
      {"1", "multicam.angle.ok:1", "cmd.multicam.choosenocut.camera1"},
      {"16", "multicam.angle.ok:16", "cmd.multicam.choosenocut.camera16"},
      {"+07", "multicam.angle.ok:7", "cmd.multicam.choosenocut.camera7"},
      {"3abc", "multicam.angle.ok:3", "cmd.multicam.choosenocut.camera3"},
      {" 5", "multicam.angle.ok:5", "cmd.multicam.choosenocut.camera5"},
      {"0", "multicam.angle.error:range", nullptr},
      {"17", "multicam.angle.error:range", nullptr},
      {"-1", "multicam.angle.error:range", nullptr},
      {"-2147483648", "multicam.angle.error:range", nullptr},
      {"", "multicam.angle.error:parse", nullptr},
      {"abc", "multicam.angle.error:parse", nullptr},
      {"99999999999", "multicam.angle.error:parse", nullptr},
  };
  InProcessEngine engine(json::object());
  std::vector<json> expected;
  for (const Case& c : cases) {
    EXPECT_EQ(engine.Dispatch("multicam.angle:" + c.rest), std::vector<std::string>{c.reply})
        << "rest: " << c.rest;
    if (c.command != nullptr) expected.push_back(ExecEvent(nullptr, c.command));
  }
  EXPECT_EQ(ExecEvents(engine), expected);
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

TEST(MulticamAngleTest, AnswersOkEvenWhenTheHostCannotRunCommands) {
  InProcessEngine engine(json{{"unavailableSuites", json::array({kCommandSuite})}});
  EXPECT_EQ(engine.Dispatch("multicam.angle:2"), std::vector<std::string>{"multicam.angle.ok:2"});
  EXPECT_TRUE(engine.Dispatch("cmd.play").empty());
  EXPECT_TRUE(ExecEvents(engine).empty());
  zyltest::ExpectLedgerBalancedAfterDetach(engine);
}

} // namespace
