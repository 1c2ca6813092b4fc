#include "Simulator.h"
#include "hostsdk/MediaSuites.h"
#include "hostsdk/StringSuite.h"

#include <gtest/gtest.h>

namespace zylsim {
namespace {

using nlohmann::json;

const json kLedgerProject = json::parse(R"({"timelines":[{"id":4,"segments":[
    {"start":0,"end":10,"root":{"kind":"RenderableNodeClipImpl"}}]}]})");

class LedgerTest : public ::testing::Test {
protected:
  LedgerTest() : sim_(kLedgerProject, [this](const std::string& line) { lines_.push_back(line); }) {
    const void* table = nullptr;
    EXPECT_EQ(sim_.BasicSuite()->AcquireSuite(hostsdk::kVideoSegmentSuiteName, 9, &table), 0);
    segments_ = static_cast<const hostsdk::VideoSegmentSuite9*>(table);
    EXPECT_EQ(sim_.BasicSuite()->AcquireSuite(hostsdk::kStringSuiteName, 1, &table), 0);
    strings_ = static_cast<const hostsdk::StringSuite1*>(table);
  }
  void ReleaseSuites() {
    EXPECT_EQ(sim_.BasicSuite()->ReleaseSuite(hostsdk::kVideoSegmentSuiteName, 9), 0);
    EXPECT_EQ(sim_.BasicSuite()->ReleaseSuite(hostsdk::kStringSuiteName, 1), 0);
  }

  std::vector<std::string> lines_;
  Simulator sim_;
  const hostsdk::VideoSegmentSuite9* segments_ = nullptr;
  const hostsdk::StringSuite1* strings_ = nullptr;
};

TEST_F(LedgerTest, BalancedWhenEverythingIsGivenBackOnce) {
  std::int32_t handle = 0, node = 0;
  std::int64_t offset = 0;
  ASSERT_EQ(segments_->AcquireSegments(4, &handle), 0);
  ASSERT_EQ(segments_->AcquireNodeAtTime(handle, 3, &node, &offset), 0);
  EXPECT_FALSE(sim_.LedgerBalanced());
  EXPECT_EQ(segments_->ReleaseNode(node), 0);
  EXPECT_EQ(segments_->ReleaseSegments(handle), 0);
  ReleaseSuites();
  EXPECT_TRUE(sim_.Shutdown());
  EXPECT_TRUE(sim_.Shutdown()); // idempotent: one ledger line
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0], R"({"event":"ledger","balanced":true})");
}

TEST_F(LedgerTest, CatchesHandlesAndStringsNeverReleased) {
  std::int32_t handle = 0, node = 0;
  std::int64_t offset = 0;
  hostsdk::HostString string{};
  ASSERT_EQ(segments_->AcquireSegments(4, &handle), 0);
  ASSERT_EQ(segments_->AcquireNodeAtTime(handle, 3, &node, &offset), 0);
  ASSERT_EQ(strings_->AllocateFromUtf8("leaked text", &string), 0);
  ReleaseSuites();
  const json ledger = sim_.LedgerJson();
  EXPECT_FALSE(ledger["balanced"].get<bool>());
  EXPECT_EQ(ledger["segmentsHeld"], 1);
  EXPECT_EQ(ledger["nodesHeld"], 1);
  EXPECT_EQ(ledger["stringsHeld"], 1);
  EXPECT_EQ(ledger["stringsHeldSample"][0]["text"], "leaked text");
  EXPECT_FALSE(sim_.Shutdown());
}

TEST_F(LedgerTest, CatchesDoubleReleasesOfEveryKind) {
  std::int32_t handle = 0, node = 0;
  std::int64_t offset = 0;
  hostsdk::HostString string{};
  ASSERT_EQ(segments_->AcquireSegments(4, &handle), 0);
  ASSERT_EQ(segments_->AcquireNodeAtTime(handle, 3, &node, &offset), 0);
  ASSERT_EQ(strings_->AllocateFromUtf8("twice", &string), 0);
  hostsdk::HostString copy = string;
  EXPECT_EQ(segments_->ReleaseNode(node), 0);
  EXPECT_NE(segments_->ReleaseNode(node), 0);
  EXPECT_EQ(segments_->ReleaseSegments(handle), 0);
  EXPECT_NE(segments_->ReleaseSegments(handle), 0);
  EXPECT_EQ(strings_->DisposeString(&string), 0);
  EXPECT_EQ(string.handle, 0u);
  EXPECT_NE(strings_->DisposeString(&copy), 0);
  ReleaseSuites();
  EXPECT_NE(sim_.BasicSuite()->ReleaseSuite(hostsdk::kStringSuiteName, 1), 0);
  const json ledger = sim_.LedgerJson();
  EXPECT_FALSE(ledger["balanced"].get<bool>());
  EXPECT_EQ(ledger["releasedNotHeld"],
            json::parse(R"({"suites":1,"strings":1,"segments":1,"nodes":1})"));
}

TEST_F(LedgerTest, HandlesAreNotReusedWhileLive) {
  std::int32_t first = 0, second = 0;
  ASSERT_EQ(segments_->AcquireSegments(4, &first), 0);
  ASSERT_EQ(segments_->AcquireSegments(4, &second), 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(segments_->ReleaseSegments(first), 0);
  std::int32_t third = 0;
  ASSERT_EQ(segments_->AcquireSegments(4, &third), 0);
  EXPECT_NE(third, second);
  EXPECT_EQ(segments_->ReleaseSegments(second), 0);
  EXPECT_EQ(segments_->ReleaseSegments(third), 0);
  ReleaseSuites();
  EXPECT_TRUE(sim_.LedgerBalanced());
}

TEST_F(LedgerTest, SuiteHeldAtTheEndIsNamed) {
  EXPECT_EQ(sim_.BasicSuite()->ReleaseSuite(hostsdk::kStringSuiteName, 1), 0);
  const json ledger = sim_.LedgerJson();
  ASSERT_TRUE(ledger.contains("suitesHeld"));
  EXPECT_EQ(ledger["suitesHeld"][0]["name"], hostsdk::kVideoSegmentSuiteName);
  EXPECT_EQ(sim_.BasicSuite()->ReleaseSuite(hostsdk::kVideoSegmentSuiteName, 9), 0);
  EXPECT_TRUE(sim_.LedgerBalanced());
}

} // namespace
} // namespace zylsim
