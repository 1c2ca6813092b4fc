#include "timeline/TimelineCache.h"

#include "Simulator.h"
#include "TimelineProjects.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>
#include <vector>

namespace {

using namespace zyltest::timeline;
using Ids = std::vector<std::int32_t>;

constexpr std::int64_t kSecond = 1'000'000'000;

json EmptyTimeline(std::int32_t id) { return Timeline(id, {}); }

// The cache against a simulated host, with a clock the test moves by hand.
class TimelineCacheTest : public ::testing::Test {
protected:
  explicit TimelineCacheTest(json project = Project({EmptyTimeline(7), EmptyTimeline(12)}))
      : sim(std::move(project), [](const std::string&) {}) {}

  zylsim::Simulator sim;
  std::atomic<bool> keepRunning{true};
  std::atomic<std::int64_t> now{1000 * kSecond};
  // Added to `now` at every reading, so that a scan sees time pass.
  std::atomic<std::int64_t> stepPerReading{0};
  ZYL::TimelineCache cache{sim.BasicSuite(), keepRunning,
                           [this] { return now.fetch_add(stepPerReading) + stepPerReading; }};

  void SetTimelines(const std::vector<json>& timelines) {
    ASSERT_TRUE(sim.Execute("set timelines " + json(timelines).dump()));
  }
};

TEST_F(TimelineCacheTest, ScanInstallsAnsweringIdsAndTheCurrentTimelineComesFirst) {
  EXPECT_EQ(cache.ScanTimelines(false), (Ids{7, 12}));
  cache.SetCurrentTimeline(12);
  EXPECT_EQ(cache.OrderedTimelines(), (Ids{12, 7}));
  cache.NoteTimeline(7);
  cache.NoteTimeline(3);
  EXPECT_EQ(cache.OrderedTimelines(), (Ids{12, 7, 3}));
}

TEST_F(TimelineCacheTest, ReusesTheScanForFiveSecondsAndForeverWithoutTheStalenessCheck) {
  EXPECT_EQ(cache.ScanTimelines(false), (Ids{7, 12}));
  SetTimelines({EmptyTimeline(7), EmptyTimeline(12), EmptyTimeline(20)});
  now += 5 * kSecond - 1;
  EXPECT_EQ(cache.ScanTimelines(true), (Ids{7, 12}));
  now += 3600 * kSecond;
  EXPECT_EQ(cache.ScanTimelines(false), (Ids{7, 12}));
  EXPECT_EQ(cache.ScanTimelines(true), (Ids{7, 12, 20}));
}

TEST_F(TimelineCacheTest, ScanThatNoLongerFindsTheCurrentTimelineClearsIt) {
  cache.SetCurrentTimeline(5);
  EXPECT_EQ(cache.ScanTimelines(false), (Ids{7, 12}));
  EXPECT_EQ(cache.CurrentTimeline(), -1);

  cache.SetCurrentTimeline(12);
  now += 5 * kSecond;
  EXPECT_EQ(cache.ScanTimelines(true), (Ids{12, 7}));
  EXPECT_EQ(cache.CurrentTimeline(), 12);
}

TEST_F(TimelineCacheTest, BudgetEndsTheScanAtTheFirstCheckPastThreeWholeSeconds) {
  SetTimelines({EmptyTimeline(8191), EmptyTimeline(12287), EmptyTimeline(12288)});
  // The checks at ids 0, 4096 and 8192 see 1000, 2000 and 3000 whole milliseconds (the last
  // one 3000.999999 truncated), none over budget; the check at 12288 sees 4001.
  stepPerReading = 1'000'333'333;
  EXPECT_EQ(cache.ScanTimelines(false), (Ids{8191, 12287}));
}

TEST_F(TimelineCacheTest, MissingSuiteInstallsAnEmptyListThatStaysFreshForFiveSeconds) {
  ASSERT_TRUE(sim.Execute(R"(set unavailableSuites ["Media Video Segment Suite"])"));
  cache.SetCurrentTimeline(7);
  EXPECT_EQ(cache.ScanTimelines(true), Ids{});
  EXPECT_EQ(cache.CurrentTimeline(), -1);

  ASSERT_TRUE(sim.Execute("set unavailableSuites []"));
  now += 4 * kSecond;
  EXPECT_EQ(cache.ScanTimelines(true), Ids{});
  now += kSecond;
  EXPECT_EQ(cache.ScanTimelines(true), (Ids{7, 12}));
}

TEST_F(TimelineCacheTest, SearchTriesTheKnownListBeforeScanning) {
  cache.NoteTimeline(12);
  std::vector<std::int32_t> probed;
  EXPECT_TRUE(cache.SearchTimelines([&](std::int32_t id) {
    probed.push_back(id);
    return id == 7;
  }));
  // 12 from the known list, then the scan's list [7, 12] up to the first success.
  EXPECT_EQ(probed, (Ids{12, 7}));
  probed.clear();
  EXPECT_FALSE(cache.SearchTimelines([&](std::int32_t id) {
    probed.push_back(id);
    return false;
  }));
  EXPECT_EQ(probed, (Ids{7, 12, 7, 12}));
}

class SlowHostCacheTest : public TimelineCacheTest {
protected:
  SlowHostCacheTest() : TimelineCacheTest(SlowProject()) {}
  static json SlowProject() {
    json project = Project({EmptyTimeline(3)});
    project["probeDelayNs"] = 200'000;
    return project;
  }
};

// A scan must hold neither the cache lock nor a stopping server for its whole
// budget. With a clock that never moves, only the stop flag can end this scan.
TEST_F(SlowHostCacheTest, ScanNeitherBlocksOtherUsersNorOutlivesTheServer) {
  std::future<Ids> scan =
      std::async(std::launch::async, [this] { return cache.ScanTimelines(false); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));

  cache.NoteTimeline(42);
  cache.SetCurrentTimeline(42);
  EXPECT_EQ(cache.OrderedTimelines(), (Ids{42}));
  EXPECT_EQ(scan.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
      << "the scan should still be running while the cache answers";

  keepRunning = false;
  ASSERT_EQ(scan.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  // A stopped scan installs nothing: what the other user noted is still there.
  EXPECT_EQ(scan.get(), (Ids{42}));

  keepRunning = true;
  ASSERT_TRUE(sim.Execute("set probeDelayNs 0"));
  EXPECT_EQ(cache.ScanTimelines(false), (Ids{3}));
  EXPECT_EQ(cache.CurrentTimeline(), -1);
}

// The speed of a full scan is the host's as much as ours, so it is printed, not asserted.
TEST(TimelineCacheScanTimeTest, FullScanWithTheRealClockFindsTimelinesAndBalancesTheLedger) {
  zylsim::Simulator sim(Project({EmptyTimeline(3), EmptyTimeline(3'999'999)}),
                        [](const std::string&) {});
  const std::atomic<bool> keepRunning{true};
  ZYL::TimelineCache cache(sim.BasicSuite(), keepRunning);
  const auto start = std::chrono::steady_clock::now();
  const Ids found = cache.ScanTimelines(false);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::cout << "[ scan ] 4,000,000 ids probed in "
            << std::chrono::duration<double, std::milli>(elapsed).count() << " ms; last id "
            << (found.size() == 2 ? "reached" : "not reached (budget)") << std::endl;
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.front(), 3);
  EXPECT_TRUE(sim.LedgerBalanced()) << sim.LedgerJson().dump();
}

} // namespace
