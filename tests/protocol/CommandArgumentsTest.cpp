// The converters and the per-command argument splits, without host or socket.
#include "protocol/text/CommandArguments.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>

namespace {

using ZYL::ParseInt32;
using ZYL::ParseInt64;

// What the standard conversions give, as the converters must; nothing where they throw.
std::optional<std::int64_t> StandardInt64(const std::string& text) {
  try {
    return std::stoll(text, nullptr, 10);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  } catch (const std::out_of_range&) {
    return std::nullopt;
  }
}

std::optional<std::int32_t> StandardInt32(const std::string& text) {
  try {
    return std::stoi(text, nullptr, 10);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  } catch (const std::out_of_range&) {
    return std::nullopt;
  }
}

struct ConversionCase {
  std::string text;
  std::optional<std::int64_t> wide;
  std::optional<std::int32_t> narrow;
};

TEST(ParseIntTest, ConvertsLikeTheStandardConversions) {
  using std::nullopt;
  const ConversionCase cases[] = {
      {"0", 0, 0},
      {"42", 42, 42},
      {"  \t\n\v\f\r17", 17, 17},
      {"+7", 7, 7},
      {"-7", -7, -7},
      {"+07", 7, 7},
      {"-0", 0, 0},
      {"3abc", 3, 3},
      {"12:5", 12, 12},
      {"12 34", 12, 12},
      {"", nullopt, nullopt},
      {"   ", nullopt, nullopt},
      {"abc", nullopt, nullopt},
      {"+", nullopt, nullopt},
      {"-", nullopt, nullopt},
      {"+-5", nullopt, nullopt},
      {"- 5", nullopt, nullopt},
      {":1", nullopt, nullopt},
      {"0x10", 0, 0},
      {std::string("\0 12", 4), nullopt, nullopt},
      {"2147483647", 2147483647, 2147483647},
      {"-2147483648", -2147483648LL, std::numeric_limits<std::int32_t>::min()},
      {"2147483648", 2147483648LL, nullopt},
      {"-2147483649", -2147483649LL, nullopt},
      {"4294967297", 4294967297LL, nullopt},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max(), nullopt},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min(), nullopt},
      {"9223372036854775808", nullopt, nullopt},
      {"-9223372036854775809", nullopt, nullopt},
      {"99999999999999999999x", nullopt, nullopt},
      {"00000000000000000000000000001", 1, 1},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE("text: \"" + c.text + "\"");
    EXPECT_EQ(ParseInt64(c.text), c.wide);
    EXPECT_EQ(ParseInt32(c.text), c.narrow);
    EXPECT_EQ(ParseInt64(c.text), StandardInt64(c.text));
    EXPECT_EQ(ParseInt32(c.text), StandardInt32(c.text));
  }
}

// Random texts near the interesting characters and lengths, compared with the standard.
TEST(ParseIntTest, AgreesWithTheStandardOnRandomTexts) {
  const std::string alphabet = " \t+-0123456789999x:";
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> length(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (std::size_t i = length(random); i > 0; --i)
      text += alphabet[pick(random)];
    ASSERT_EQ(ParseInt64(text), StandardInt64(text)) << "text: \"" << text << "\"";
    ASSERT_EQ(ParseInt32(text), StandardInt32(text)) << "text: \"" << text << "\"";
  }
}

TEST(SplitTimeTrackTest, SplitsTicksAndTrackAtTheFirstColon) {
  struct Case {
    std::string rest;
    std::optional<std::pair<std::int64_t, std::int32_t>> expected;
  };
  const Case cases[] = {
      {"1000", std::pair{1000, -1}},
      {"1000:2", std::pair{1000, 2}},
      {"1000abc", std::pair{1000, -1}},
      {"1000abc:3", std::pair{1000, 3}},
      {"-5:0", std::pair{-5, 0}},
      {"1000:2:9", std::pair{1000, 2}}, // the track piece runs to the end; its digits count
      {"", std::nullopt},
      {"1000:", std::nullopt}, // empty track piece
      {":2", std::nullopt},
      {"abc:2", std::nullopt},
      {"1000:x", std::nullopt},
      {"1000:2147483648", std::nullopt},
      {"9223372036854775808:1", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const auto arguments = ZYL::SplitTimeTrack(c.rest);
    ASSERT_EQ(arguments.has_value(), c.expected.has_value());
    if (!arguments) continue;
    EXPECT_EQ(arguments->ticks, c.expected->first);
    EXPECT_EQ(arguments->track, c.expected->second);
  }
}

TEST(SplitTimelineScanTest, ConvertsClampsAndFallsBackToDefaults) {
  struct Case {
    std::string rest;
    std::int64_t from, to, budget;
  };
  const Case cases[] = {
      {"5", 5, 0, 3000},
      {"5:100", 5, 100, 3000},
      {"5:100:250", 5, 100, 250},
      {"5:100:250:9", 5, 100, 250},
      {"-20:10", 0, 10, 3000},
      {"0:99999999999", 0, 2147483647, 3000},
      {"-1:-1:-1", 0, -1, -1},
      // Every failure scans nothing with the default budget, whatever else was readable.
      {"x:100:250", 0, 0, 3000},
      {"5:x:250", 0, 0, 3000},
      {"5:100:x", 0, 0, 3000},
      {"5:", 0, 0, 3000},
      {"5:100:", 0, 0, 3000},
      {"", 0, 0, 3000},
      {"99999999999999999999:1", 0, 0, 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const ZYL::TimelineScanArguments arguments = ZYL::SplitTimelineScan(c.rest);
    EXPECT_EQ(arguments.from, c.from);
    EXPECT_EQ(arguments.to, c.to);
    EXPECT_EQ(arguments.budgetMs, c.budget);
  }
}

TEST(SplitClipSizeTest, TakesTwoOrThreeFieldsAndIgnoresTheRest) {
  struct Case {
    std::string rest;
    bool parses;
    std::int64_t ticks, end;
    std::int32_t track;
  };
  const Case cases[] = {
      {"100:2", true, 100, -1, 2},
      {"100:200:2", true, 100, 200, 2},
      {"100:200:2:junk", true, 100, 200, 2},
      {"100:200:2:", true, 100, 200, 2},
      {"100", false, 0, 0, 0},      // one field only
      {"", false, 0, 0, 0},         // one (empty) field
      {"100:", false, 0, 0, 0},     // empty track
      {"100::2", false, 0, 0, 0},   // empty end
      {"100:200:", false, 0, 0, 0}, // empty track in the third field
      {"100:200::2", false, 0, 0, 0},
      {"x:2", false, 0, 0, 0},
      {"100:99999999999", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const auto arguments = ZYL::SplitClipSize(c.rest);
    ASSERT_EQ(arguments.has_value(), c.parses);
    if (!arguments) continue;
    EXPECT_EQ(arguments->ticks, c.ticks);
    EXPECT_EQ(arguments->end, c.end);
    EXPECT_EQ(arguments->track, c.track);
  }
}

TEST(SplitMarkerTest, SplitsAtTheLastColonAndNeverFails) {
  struct Case {
    std::string rest;
    std::string name;
    std::int32_t track;
  };
  const Case cases[] = {
      {"Intro", "Intro", -1},
      {"Intro:2", "Intro", 2},
      {"Act one:Scene two:3", "Act one:Scene two", 3},
      {"Act one:Scene two", "Act one", -1}, // unreadable track: any track
      {"Intro:", "Intro", -1},
      {":4", "", 4},
      {"", "", -1},
      {"Intro:2147483648", "Intro", -1},
      {"Intro: 7", "Intro", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const ZYL::MarkerArguments arguments = ZYL::SplitMarker(c.rest);
    EXPECT_EQ(arguments.name, c.name);
    EXPECT_EQ(arguments.track, c.track);
  }
}

TEST(SplitExecTest, CategoryEndsAtTheFirstColonAndTheCommandRunsToTheEnd) {
  struct Case {
    std::string rest;
    bool parses;
    std::string category, command;
  };
  const Case cases[] = {
      {"edit:cmd.undo", true, "edit", "cmd.undo"},
      {":cmd.undo", true, "", "cmd.undo"},
      {"edit:cmd:with:colons", true, "edit", "cmd:with:colons"},
      {"::", true, "", ":"},
      {"cmd.undo", false, "", ""},
      {"edit:", false, "", ""},
      {":", false, "", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const auto arguments = ZYL::SplitExec(c.rest);
    ASSERT_EQ(arguments.has_value(), c.parses);
    if (!arguments) continue;
    EXPECT_EQ(arguments->category, c.category);
    EXPECT_EQ(arguments->command, c.command);
  }
}

TEST(SplitTransitionsTest, NeedsStartEndAndTrack) {
  struct Case {
    std::string rest;
    bool parses;
    std::int64_t start, end;
    std::int32_t track;
  };
  const Case cases[] = {
      {"10:20:1", true, 10, 20, 1},
      {"10:20:1:5", true, 10, 20, 1},
      {"10x:20y:1z", true, 10, 20, 1},
      {"10:20", false, 0, 0, 0},
      {"10", false, 0, 0, 0},
      {"10:20:", false, 0, 0, 0},
      {"10::1", false, 0, 0, 0},
      {":20:1", false, 0, 0, 0},
      {"10:20:4294967296", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const auto arguments = ZYL::SplitTransitions(c.rest);
    ASSERT_EQ(arguments.has_value(), c.parses);
    if (!arguments) continue;
    EXPECT_EQ(arguments->start, c.start);
    EXPECT_EQ(arguments->end, c.end);
    EXPECT_EQ(arguments->track, c.track);
  }
}

TEST(SplitSequenceTest, TakesTheLowThirtyTwoBitsOfTheId) {
  struct Case {
    std::string rest;
    bool parses;
    std::optional<std::int32_t> timeline;
  };
  const Case cases[] = {
      {"", true, std::nullopt}, // the bare name or the bare prefix
      {"7", true, 7},
      {"7abc", true, 7},
      {"4294967297", true, 1},
      {"2147483648", true, std::numeric_limits<std::int32_t>::min()},
      {"4294967295", true, -1},
      {"-1", true, -1},
      {"x", false, std::nullopt},
      {" ", false, std::nullopt},
      {"9223372036854775808", false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("rest: \"" + c.rest + "\"");
    const auto arguments = ZYL::SplitSequence(c.rest);
    ASSERT_EQ(arguments.has_value(), c.parses);
    if (!arguments) continue;
    EXPECT_EQ(arguments->timeline, c.timeline);
  }
}

} // namespace
