#include "Simulator.h"
#include "hostsdk/MediaSuites.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>

namespace zylsim {
namespace {

using nlohmann::json;

const json kStoredProject = json::parse(R"({"timelines":[
    {"id":5,"segments":[{"start":0,"end":100,"root":{"kind":"A"}},
                        {"start":100,"end":200,"offset":150,"root":{"kind":"B"}}]},
    {"id":1042}]})");

class ProjectStoreTest : public ::testing::Test {
protected:
  ProjectStoreTest()
      : sim_(kStoredProject, [this](const std::string& line) { lines_.push_back(line); }) {
    const void* table = nullptr;
    EXPECT_EQ(sim_.BasicSuite()->AcquireSuite(hostsdk::kVideoSegmentSuiteName, 9, &table), 0);
    suite_ = static_cast<const hostsdk::VideoSegmentSuite9*>(table);
  }
  ~ProjectStoreTest() override {
    EXPECT_EQ(sim_.BasicSuite()->ReleaseSuite(hostsdk::kVideoSegmentSuiteName, 9), 0);
    EXPECT_TRUE(sim_.LedgerBalanced()) << sim_.LedgerJson().dump();
  }

  struct Look {
    std::int32_t count = -1;
    std::array<std::uint8_t, hostsdk::kSegmentsHashSize> hash{};
  };
  Look Read(std::int32_t timeline) {
    Look look;
    std::int32_t segments = 0;
    if (suite_->AcquireSegments(timeline, &segments) != 0) return look;
    suite_->GetSegmentCount(segments, &look.count);
    suite_->GetSegmentsHash(segments, look.hash.data());
    suite_->ReleaseSegments(segments);
    return look;
  }
  // The offset reported at a time, or -1 without a segment.
  std::int64_t OffsetAt(std::int32_t timeline, std::int64_t time) {
    std::int32_t segments = 0, node = 0;
    std::int64_t offset = -1;
    if (suite_->AcquireSegments(timeline, &segments) != 0) return -1;
    if (suite_->AcquireNodeAtTime(segments, time, &node, &offset) == 0) suite_->ReleaseNode(node);
    suite_->ReleaseSegments(segments);
    return offset;
  }

  std::vector<std::string> lines_;
  Simulator sim_;
  const hostsdk::VideoSegmentSuite9* suite_ = nullptr;
};

TEST_F(ProjectStoreTest, EditChangesTheHashButNotTheCount) {
  const Look before = Read(5);
  EXPECT_TRUE(sim_.Execute("edit 5"));
  const Look after = Read(5);
  EXPECT_EQ(after.count, 2);
  EXPECT_NE(after.hash, before.hash);
  EXPECT_EQ(Read(1042).hash, Read(1042).hash);
  EXPECT_FALSE(sim_.Execute("edit 6"));
  EXPECT_EQ(lines_.back(), R"({"event":"error","command":"edit 6","reason":"no timeline 6"})");
}

TEST_F(ProjectStoreTest, CutSplitsTheSegmentAtTheTimeAndKeepsTheSourceRunning) {
  const Look before = Read(5);
  ASSERT_TRUE(sim_.Execute("cut 5 120"));
  EXPECT_EQ(lines_.back(), R"({"event":"ok","command":"cut 5 120"})");
  const Look after = Read(5);
  EXPECT_EQ(after.count, 3);
  EXPECT_NE(after.hash, before.hash);
  EXPECT_EQ(OffsetAt(5, 110), 150);
  EXPECT_EQ(OffsetAt(5, 125), 170);
  ASSERT_TRUE(sim_.Execute("cut 5 50"));
  EXPECT_EQ(OffsetAt(5, 60), 50);
  EXPECT_FALSE(sim_.Execute("cut 5 120")); // a segment starts there already
  EXPECT_FALSE(sim_.Execute("cut 5 200"));
  EXPECT_FALSE(sim_.Execute("cut 5 x"));
  EXPECT_EQ(Read(5).count, 4);
}

TEST_F(ProjectStoreTest, SetAndLoadReplaceTheProjectLive) {
  ASSERT_TRUE(sim_.Execute(R"(set timelines [{"id": 9}, {"id": 5}])"));
  EXPECT_EQ(Read(1042).count, -1);
  EXPECT_EQ(Read(9).count, 0);
  EXPECT_EQ(Read(5).count, 0);
  EXPECT_FALSE(sim_.Execute("set timelines [{\"id\": 9}, {\"id\": 9}]"));
  EXPECT_EQ(Read(9).count, 0); // a refused change leaves the project as it was
  EXPECT_FALSE(sim_.Execute("set colour 3"));
  EXPECT_FALSE(sim_.Execute("set solo {"));

  const std::string path = ::testing::TempDir() + "hostsim-load.json";
  std::FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(R"({"timelines": [{"id": 77, "segments": [{"start": 0, "end": 5}]}]})", file);
  std::fclose(file);
  ASSERT_TRUE(sim_.Execute("load " + path));
  EXPECT_EQ(Read(77).count, 1);
  EXPECT_EQ(Read(9).count, -1);
  EXPECT_FALSE(sim_.Execute("load /nonexistent.json"));
  std::remove(path.c_str());
}

TEST_F(ProjectStoreTest, NotificationsWithoutAModuleAreErrorsNotCrashes) {
  for (const char* line : {"play on", "timecode 00:00:01:00 1", "marker-changed 3",
                           "markers-rebuilt", "detach", "attach"})
    EXPECT_FALSE(sim_.Execute(line)) << line;
  EXPECT_FALSE(sim_.Execute("marker-changed 4294967296"));
  EXPECT_FALSE(sim_.Execute("frobnicate"));
  EXPECT_EQ(lines_.back(),
            R"({"event":"error","command":"frobnicate","reason":"unknown command"})");
}

// The engine scans four million ids; the figure printed is the simulator's share of that.
TEST_F(ProjectStoreTest, ProbeOfNonTimelineIdsIsCheap) {
  constexpr std::int32_t kIds = 4000000;
  std::int32_t hits = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::int32_t id = 0; id < kIds; ++id) {
    std::int32_t segments = 0;
    if (suite_->AcquireSegments(id, &segments) == 0 && segments != 0) {
      ++hits;
      suite_->ReleaseSegments(segments);
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(hits, 2);
  std::printf("[ probe ] %.1f ns per timeline id probe over %d ids\n",
              std::chrono::duration<double, std::nano>(elapsed).count() / kIds, kIds);
}

} // namespace
} // namespace zylsim
