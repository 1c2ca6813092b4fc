#include "vitals/TimecodeSpeed.h"

#include <gtest/gtest.h>
#include <string>

namespace ZYL {
namespace {

constexpr std::int64_t kSecondNs = 1'000'000'000;

TEST(TimecodeFields, FourthFieldSwallowsFurtherSeparators) {
  const TimecodeFields fields = ReadTimecodeFields("01:02:03:04:05");
  ASSERT_EQ(fields.count, 4);
  EXPECT_EQ(fields.values[0], 1);
  EXPECT_EQ(fields.values[1], 2);
  EXPECT_EQ(fields.values[2], 3);
  EXPECT_EQ(fields.values[3], 405);
}

TEST(TimecodeFields, DropFrameAndDotSeparatorsAndStrayTextAreRead) {
  const TimecodeFields fields = ReadTimecodeFields(" 00;01.02:x03 ");
  ASSERT_EQ(fields.count, 4);
  EXPECT_EQ(fields.values[1], 1);
  EXPECT_EQ(fields.values[2], 2);
  EXPECT_EQ(fields.values[3], 3);
  // A separator without digits before it ends no field.
  EXPECT_EQ(ReadTimecodeFields("::5::6").count, 2);
}

TEST(TimecodeFields, HugeDigitRunsSaturateInsteadOfOverflowing) {
  const std::string digits(400, '9');
  const TimecodeFields fields = ReadTimecodeFields(digits + ":" + digits + ":1:" + digits);
  ASSERT_EQ(fields.count, 4);
  EXPECT_EQ(fields.values[0], kTimecodeFieldLimit);
  EXPECT_EQ(fields.values[1], kTimecodeFieldLimit);
  EXPECT_EQ(fields.values[2], 1);
  EXPECT_EQ(fields.values[3], kTimecodeFieldLimit);

  // The frame base grows past the saturated frame field without overflowing.
  SpeedState state;
  const auto position = ReadTimecodePosition(digits + ":0:0:" + digits, state);
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(state.maxFrame, kTimecodeFieldLimit);
  EXPECT_EQ(state.frameBase, kTimecodeFieldLimit + 1);
  EXPECT_GT(*position, 0.0);
}

TEST(TimecodePosition, FramesCountAgainstAFrameBaseThatOnlyGrows) {
  SpeedState state;
  EXPECT_DOUBLE_EQ(ReadTimecodePosition("01:00:00:12", state).value(), 3600.4);
  EXPECT_EQ(state.frameBase, 30);
  EXPECT_EQ(state.maxFrame, 12);

  EXPECT_DOUBLE_EQ(ReadTimecodePosition("00:00:10:45", state).value(), 10.0 + 45.0 / 46.0);
  EXPECT_EQ(state.frameBase, 46);
  EXPECT_EQ(state.maxFrame, 45);

  EXPECT_DOUBLE_EQ(ReadTimecodePosition("00:00:00:23", state).value(), 23.0 / 46.0);
  EXPECT_EQ(state.frameBase, 46);
}

TEST(TimecodePosition, TwoAndThreeFieldsAreMinutesAndHours) {
  SpeedState state;
  EXPECT_DOUBLE_EQ(ReadTimecodePosition("10:05", state).value(), 605.0);
  EXPECT_DOUBLE_EQ(ReadTimecodePosition("1:02:03", state).value(), 3723.0);
  EXPECT_FALSE(ReadTimecodePosition("7", state).has_value());
  EXPECT_FALSE(ReadTimecodePosition("", state).has_value());
}

TEST(PlaybackSpeed, SecondsOfTimecodePerSecondOfClock) {
  SpeedState state;
  EXPECT_DOUBLE_EQ(UpdateSpeed("00:00:10", 5 * kSecondNs, state), 0.0); // first reading
  EXPECT_DOUBLE_EQ(UpdateSpeed("00:00:12", 6 * kSecondNs, state), 2.0);
  EXPECT_DOUBLE_EQ(UpdateSpeed("00:00:11", 7 * kSecondNs, state), -1.0);
  EXPECT_EQ(state.previousStamp, 7 * kSecondNs);
  EXPECT_DOUBLE_EQ(state.previousPosition, 11.0);
}

TEST(PlaybackSpeed, ReadingsTooCloseTogetherGiveZeroButMoveTheBaseline) {
  SpeedState state;
  UpdateSpeed("00:00:10", kSecondNs, state);
  EXPECT_DOUBLE_EQ(UpdateSpeed("00:00:20", kSecondNs + kSecondNs / 20, state), 0.0);
  EXPECT_EQ(state.previousStamp, kSecondNs + kSecondNs / 20);
  EXPECT_DOUBLE_EQ(state.previousPosition, 20.0);
  // Unchanged timecode, same stamp: the record between two host updates.
  EXPECT_DOUBLE_EQ(UpdateSpeed("00:00:20", kSecondNs + kSecondNs / 20, state), 0.0);
}

TEST(PlaybackSpeed, UnreadableTextLeavesTheStateUntouched) {
  SpeedState state;
  UpdateSpeed("00:00:10:00", kSecondNs, state);
  const SpeedState before = state;
  EXPECT_DOUBLE_EQ(UpdateSpeed("7", 3 * kSecondNs, state), 0.0);
  EXPECT_DOUBLE_EQ(UpdateSpeed("", 4 * kSecondNs, state), 0.0);
  EXPECT_EQ(state.previousStamp, before.previousStamp);
  EXPECT_DOUBLE_EQ(state.previousPosition, before.previousPosition);
  EXPECT_EQ(state.frameBase, before.frameBase);
  EXPECT_EQ(state.maxFrame, before.maxFrame);
  // The next readable text measures against the last readable one.
  EXPECT_DOUBLE_EQ(UpdateSpeed("00:00:14:00", 3 * kSecondNs, state), 2.0);
}

} // namespace
} // namespace ZYL
