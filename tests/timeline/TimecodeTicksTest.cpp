// Timecode text read as a position, against the table of cases the clients read too.
#include "timeline/TimecodeTicks.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

Json TimecodeCases() {
  std::ifstream file(ZYL_TEST_DATA_DIR "/timecode-cases.json");
  EXPECT_TRUE(file.is_open());
  return Json::parse(file);
}

ZYL::SequenceTiming TimingOf(const Json& sequence) {
  ZYL::SequenceTiming timing;
  if (!sequence["ticksPerSecond"].is_null())
    timing.ticksPerSecond = sequence["ticksPerSecond"].get<std::int64_t>();
  timing.ticksPerFrame = sequence["ticksPerFrame"].get<std::int64_t>();
  if (!sequence["dropFrame"].is_null()) timing.dropFrame = sequence["dropFrame"].get<bool>();
  if (!sequence["zeroPointTicks"].is_null())
    timing.zeroPointTicks = sequence["zeroPointTicks"].get<std::int64_t>();
  return timing;
}

TEST(TimecodeTicks, EveryTableCaseReadsAsTheTableSays) {
  const Json cases = TimecodeCases();
  ASSERT_GT(cases["toTicks"].size(), 40U);
  for (const Json& item : cases["toTicks"]) {
    const std::string text = item["text"];
    const ZYL::SequenceTiming timing =
        TimingOf(cases["sequences"][item["sequence"].get<std::string>()]);
    const std::optional<std::int64_t> ticks = ZYL::TimecodeToTicks(text, timing);
    const Json got = ticks ? Json(*ticks) : Json(nullptr);
    EXPECT_EQ(got, item["ticks"]) << item["sequence"] << " \"" << text << "\": " << item["case"];
  }
}

TEST(TimecodeTicks, PositionsTooLargeForTicksAreNone) {
  ZYL::SequenceTiming timing;
  timing.ticksPerSecond = 254016000000;
  timing.ticksPerFrame = 10160640000;
  timing.zeroPointTicks = 0;
  EXPECT_EQ(ZYL::TimecodeToTicks("999999:59:59:24", timing), std::nullopt);
  timing.zeroPointTicks = INT64_MIN;
  EXPECT_EQ(ZYL::TimecodeToTicks("00:00:01:00", timing), std::nullopt);
}

TEST(TimecodeTicks, ATickLongFrameCannotOverflowTheFrameCount) {
  ZYL::SequenceTiming timing;
  timing.ticksPerSecond = INT64_MAX;
  timing.ticksPerFrame = 1;
  timing.zeroPointTicks = 0;
  EXPECT_EQ(ZYL::TimecodeToTicks("999999:59:59:00", timing), std::nullopt);
  EXPECT_EQ(ZYL::TimecodeToTicks("00:00:00:99", timing), 99);
}

TEST(TimecodeTicks, AFrameLongerThanASecondHasNoNominalRate) {
  ZYL::SequenceTiming timing;
  timing.ticksPerSecond = 100;
  timing.ticksPerFrame = 1000;
  timing.zeroPointTicks = 0;
  EXPECT_EQ(ZYL::TimecodeToTicks("00:00:00:00", timing), std::nullopt);
}

} // namespace
