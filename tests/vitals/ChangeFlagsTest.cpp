#include "vitals/ChangeFlags.h"

#include <gtest/gtest.h>

namespace ZYL {
namespace {

TimelineReading Reading(std::int32_t timeline, std::int32_t cuts, std::uint8_t hashByte) {
  TimelineReading reading;
  reading.timeline = timeline;
  reading.cuts = cuts;
  reading.hashRead = true;
  reading.hash.fill(hashByte);
  return reading;
}

TimelineReading WithoutHash(TimelineReading reading) {
  reading.hashRead = false;
  return reading;
}

void ExpectFlags(const ChangeFlags& flags, bool seqChanged, bool cutsChanged, bool edited) {
  EXPECT_EQ(flags.seqChanged, seqChanged);
  EXPECT_EQ(flags.cutsChanged, cutsChanged);
  EXPECT_EQ(flags.edited, edited);
}

TEST(ChangeFlags, FirstTimelineIsNoSwitchAndNoEdit) {
  TimelineHistory history;
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 10, 1)), false, false, false);
  EXPECT_EQ(history.previousTimeline, 3);
  EXPECT_EQ(history.previousCuts, 10);
  EXPECT_TRUE(history.haveHash);
}

TEST(ChangeFlags, SwitchingTimelineReportsOnlyTheSwitch) {
  TimelineHistory history;
  ApplyTimelineReading(history, Reading(3, 10, 1));
  ExpectFlags(ApplyTimelineReading(history, Reading(8, 4, 2)), true, false, false);
  EXPECT_EQ(history.previousTimeline, 8);
  EXPECT_EQ(history.previousCuts, 4);
  ExpectFlags(ApplyTimelineReading(history, Reading(8, 4, 2)), false, false, false);
}

TEST(ChangeFlags, NewHashOnTheSameTimelineIsAnEdit) {
  TimelineHistory history;
  ApplyTimelineReading(history, Reading(3, 10, 1));
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 10, 2)), false, false, true);
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 10, 2)), false, false, false);
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 11, 3)), false, true, true);
}

// Regression: the switch used to forget the new timeline's hash, so an edit in the second
// after a switch was never reported.
TEST(ChangeFlags, EditRightAfterASwitchIsReported) {
  TimelineHistory history;
  ApplyTimelineReading(history, Reading(3, 10, 1));
  ApplyTimelineReading(history, Reading(8, 4, 2));
  ExpectFlags(ApplyTimelineReading(history, Reading(8, 4, 5)), false, false, true);
}

TEST(ChangeFlags, SwitchWithoutAHashComparesNothingAcrossTimelines) {
  TimelineHistory history;
  ApplyTimelineReading(history, Reading(3, 10, 1));
  ExpectFlags(ApplyTimelineReading(history, WithoutHash(Reading(8, 4, 0))), true, false, false);
  EXPECT_FALSE(history.haveHash);
  ExpectFlags(ApplyTimelineReading(history, Reading(8, 4, 9)), false, false, false);
}

TEST(ChangeFlags, MissingTimelineOrCountKeepsWhatWasKnown) {
  TimelineHistory history;
  ApplyTimelineReading(history, Reading(3, 10, 1));
  ExpectFlags(ApplyTimelineReading(history, WithoutHash(Reading(-1, -1, 0))), false, false, false);
  EXPECT_EQ(history.previousTimeline, 3);
  EXPECT_EQ(history.previousCuts, 10);
  // A count that could not be read is no change, and the next one compares with 10.
  ExpectFlags(ApplyTimelineReading(history, Reading(3, -1, 1)), false, false, false);
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 12, 1)), false, true, false);
  // The hash survives a pass that could not read one.
  ApplyTimelineReading(history, WithoutHash(Reading(3, 12, 0)));
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 12, 7)), false, false, true);
}

TEST(ChangeFlags, NoCountBeforeMeansNoCutsChange) {
  TimelineHistory history;
  ApplyTimelineReading(history, Reading(3, -1, 1));
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 5, 1)), false, false, false);
  ExpectFlags(ApplyTimelineReading(history, Reading(3, 6, 1)), false, true, false);
}

} // namespace
} // namespace ZYL
