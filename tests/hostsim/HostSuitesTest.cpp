#include "Simulator.h"
#include "hostsdk/ControlSurfaceHostSuites.h"
#include "hostsdk/MediaSuites.h"
#include "hostsdk/StringSuite.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zylsim {
namespace {

using nlohmann::json;

json TestProject() {
  return json::parse(R"({
    "ticksPerSecond": 30000, "hostMarkerCount": 12, "solo": true,
    "mixer": {"tracks": 4, "meterSource": 1, "peaksDb": [-6.0, -9.5]},
    "commands": [["cmd.a", "Camera: 1", "Multi", "desc"], null],
    "timelines": [
      {"id": 7,
       "sequence": {"ticksPerFrame": 1001, "rect": [0, 0, 1920, 1080], "par": [4, 3],
                    "dropFrame": true, "zeroPoint": 108000},
       "markers": [{"name": "Scène 2", "time": 500}, {"name": null, "time": 1},
                   {"name": "Late", "time": null}],
       "segments": [{"start": 0, "end": 1000, "offset": 7,
                     "root": {"kind": "RenderableNodeClipImpl", "flags": 3,
                              "props": {"ClipNode::TrackID": "1", "Empty": null},
                              "inputs": [{"offset": 42, "node": {"kind": "RenderableNodeMediaImpl"}}],
                              "operators": [{}]}}]},
      {"id": 12}
    ],
    "unavailableSuites": ["HOSTSDK ControlSurfaceHost Color Suite", "Marker Suite@1"],
    "failingCalls": [{"suite": "Media Sequence Info Suite", "position": 1, "status": 1348563565}]
  })");
}

class HostSuitesTest : public ::testing::Test {
protected:
  HostSuitesTest()
      : sim_(TestProject(), [this](const std::string& line) { lines_.push_back(line); }) {}

  template <typename Table> const Table* Acquire(const char* name, std::int32_t version) {
    const void* table = nullptr;
    if (sim_.BasicSuite()->AcquireSuite(name, version, &table) != hostsdk::kSuccess) return nullptr;
    acquired_.emplace_back(name, version);
    return static_cast<const Table*>(table);
  }

  void TearDown() override {
    for (const auto& [name, version] : acquired_)
      EXPECT_EQ(sim_.BasicSuite()->ReleaseSuite(name.c_str(), version), hostsdk::kSuccess);
    EXPECT_TRUE(sim_.LedgerBalanced()) << sim_.LedgerJson().dump();
  }

  std::vector<std::string> lines_;
  Simulator sim_;
  std::vector<std::pair<std::string, std::int32_t>> acquired_;
};

TEST_F(HostSuitesTest, RefusesUnavailableAndUnknownSuites) {
  const void* table = nullptr;
  EXPECT_NE(sim_.BasicSuite()->AcquireSuite(hostsdk::kHostColorSuiteName, 1, &table), 0);
  EXPECT_NE(sim_.BasicSuite()->AcquireSuite("Marker Suite", 1, &table), 0);
  EXPECT_NE(sim_.BasicSuite()->AcquireSuite("No Such Suite", 1, &table), 0);
  EXPECT_NE(sim_.BasicSuite()->AcquireSuite(hostsdk::kTimeSuiteName, 2, &table), 0);
  EXPECT_EQ(table, nullptr);
  EXPECT_NE(Acquire<hostsdk::SequenceMarkerSuite>("Marker Suite", 2), nullptr);
  EXPECT_NE(Acquire<hostsdk::SequenceMarkerSuite>("Marker Suite", 3), nullptr);
}

TEST_F(HostSuitesTest, VideoSegmentsAndNodesAnswerFromTheProject) {
  const auto* suite = Acquire<hostsdk::VideoSegmentSuite9>(hostsdk::kVideoSegmentSuiteName, 9);
  ASSERT_NE(suite, nullptr);
  std::int32_t segments = 0;
  EXPECT_NE(suite->AcquireSegments(8, &segments), 0);
  EXPECT_EQ(segments, 0);
  ASSERT_EQ(suite->AcquireSegments(7, &segments), 0);
  ASSERT_NE(segments, 0);
  std::int32_t count = -1;
  EXPECT_EQ(suite->GetSegmentCount(segments, &count), 0);
  EXPECT_EQ(count, 1);

  std::int32_t root = 0;
  std::int64_t offset = 0;
  EXPECT_EQ(suite->AcquireNodeAtTime(segments, 1000, &root, &offset), 1);
  ASSERT_EQ(suite->AcquireNodeAtTime(segments, 999, &root, &offset), 0);
  EXPECT_EQ(offset, 7);

  char kind[hostsdk::kNodeKindSize] = {};
  std::uint8_t scratch[hostsdk::kNodeHashSize] = {};
  std::int32_t flags = 0;
  EXPECT_EQ(suite->GetNodeInfo(root, kind, scratch, &flags), 0);
  EXPECT_STREQ(kind, "RenderableNodeClipImpl");
  EXPECT_EQ(flags, 3);

  const char* value = "untouched";
  EXPECT_EQ(suite->GetNodeProperty(root, "ClipNode::TrackID", &value), 0);
  EXPECT_STREQ(value, "1");
  EXPECT_EQ(suite->GetNodeProperty(root, "Empty", &value), 0);
  EXPECT_EQ(value, nullptr);
  EXPECT_NE(suite->GetNodeProperty(root, "Missing", &value), 0);

  std::int32_t inputs = 0, operators = 0, input = 0, op = 0;
  EXPECT_EQ(suite->GetNodeInputCount(root, &inputs), 0);
  EXPECT_EQ(suite->GetNodeOperatorCount(root, &operators), 0);
  EXPECT_EQ(inputs, 1);
  EXPECT_EQ(operators, 1);
  EXPECT_NE(suite->AcquireNodeInput(root, 1, &offset, &input), 0);
  ASSERT_EQ(suite->AcquireNodeInput(root, 0, &offset, &input), 0);
  EXPECT_EQ(offset, 42);
  ASSERT_EQ(suite->AcquireNodeOperator(root, 0, &op), 0);
  EXPECT_NE(input, root);
  EXPECT_NE(op, input);

  std::memset(kind, 'x', sizeof kind); // a node without kind leaves the name empty
  EXPECT_EQ(suite->GetNodeInfo(op, kind, scratch, &flags), 0);
  EXPECT_STREQ(kind, "");

  for (const std::int32_t node : {op, input, root})
    EXPECT_EQ(suite->ReleaseNode(node), 0);
  EXPECT_EQ(suite->ReleaseSegments(segments), 0);
}

TEST_F(HostSuitesTest, SequenceInfoTimeAndFailingCalls) {
  const auto* info = Acquire<hostsdk::SequenceInfoSuite9>(hostsdk::kSequenceInfoSuiteName, 9);
  const auto* time = Acquire<hostsdk::TimeSuite1>(hostsdk::kTimeSuiteName, 1);
  ASSERT_NE(info, nullptr);
  ASSERT_NE(time, nullptr);
  hostsdk::FrameRect rect{};
  std::int64_t ticks = 0, zero = 0, perSecond = 0;
  std::int32_t drop = 0;
  std::uint32_t num = 77, den = 77;
  EXPECT_EQ(info->GetFrameRect(7, &rect), 0);
  EXPECT_EQ(rect.right, 1920);
  EXPECT_EQ(rect.bottom, 1080);
  EXPECT_EQ(info->GetPixelAspectRatio(7, &num, &den), 1348563565);
  EXPECT_EQ(num, 77u); // a failing call writes nothing
  EXPECT_EQ(info->GetFrameDuration(7, &ticks), 0);
  EXPECT_EQ(ticks, 1001);
  EXPECT_EQ(info->GetZeroPoint(7, &zero), 0);
  EXPECT_EQ(zero, 108000);
  EXPECT_EQ(info->GetDropFrame(7, &drop), 0);
  EXPECT_EQ(drop, 1);
  EXPECT_NE(info->GetFrameDuration(12, &ticks), 0); // no sequence settings
  EXPECT_NE(info->GetFrameDuration(99, &ticks), 0);
  EXPECT_EQ(time->GetTicksPerSecond(&perSecond), 0);
  EXPECT_EQ(perSecond, 30000);
}

TEST_F(HostSuitesTest, MarkersAnswerInUtf16AndFailForNullMembers) {
  const auto* markers = Acquire<hostsdk::SequenceMarkerSuite>("Marker Suite", 3);
  ASSERT_NE(markers, nullptr);
  std::uint32_t count = 0;
  EXPECT_EQ(markers->GetMarkerCount(7, &count), 0);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(markers->GetMarkerCount(12, &count), 0);
  EXPECT_EQ(count, 0u);
  std::uint64_t size = 0;
  ASSERT_EQ(markers->GetMarkerNameSize(7, 0, &size), 0);
  EXPECT_EQ(size, 14u);
  std::vector<char16_t> buffer(size / 2 + 1);
  char16_t* name = buffer.data();
  ASSERT_EQ(markers->GetMarkerName(7, 0, &name), 0);
  EXPECT_EQ(std::u16string(name, 7), u"Sc\u00e8ne 2");
  std::int64_t at = 0;
  EXPECT_EQ(markers->GetMarkerTime(7, 0, &at), 0);
  EXPECT_EQ(at, 500);
  EXPECT_NE(markers->GetMarkerNameSize(7, 1, &size), 0);
  EXPECT_EQ(markers->GetMarkerTime(7, 1, &at), 0);
  EXPECT_NE(markers->GetMarkerTime(7, 2, &at), 0);
  EXPECT_NE(markers->GetMarkerTime(7, 3, &at), 0);
}

TEST_F(HostSuitesTest, SurfaceHostObjectsAnswerFromTheProject) {
  const auto* host = Acquire<hostsdk::SurfaceHostSuite1>(hostsdk::kSurfaceHostSuiteName, 1);
  const auto* mixer = Acquire<hostsdk::HostMixerSuite1>(hostsdk::kHostMixerSuiteName, 1);
  const auto* transport =
      Acquire<hostsdk::HostTransportSuite1>(hostsdk::kHostTransportSuiteName, 1);
  const auto* marker = Acquire<hostsdk::HostMarkerSuite1>(hostsdk::kHostMarkerSuiteName, 1);
  ASSERT_TRUE(host && mixer && transport && marker);
  hostsdk::HostObject mixerObject = nullptr, transportObject = nullptr, markerObject = nullptr;
  ASSERT_EQ(host->GetMixerObject(1, &mixerObject), 0);
  ASSERT_EQ(host->GetTransportObject(1, &transportObject), 0);
  ASSERT_EQ(host->GetMarkerObject(1, &markerObject), 0);

  std::int32_t tracks = 0, source = 0, channels = 0, hostMarkers = 0;
  EXPECT_EQ(mixer->GetTrackCount(mixerObject, &tracks), 0);
  EXPECT_EQ(tracks, 4);
  EXPECT_NE(mixer->GetTrackCount(transportObject, &tracks), 0); // the wrong object
  EXPECT_EQ(mixer->GetMeterSource(mixerObject, &source), 0);
  EXPECT_EQ(mixer->GetChannelCount(mixerObject, source, &channels), 0);
  ASSERT_EQ(channels, 2);
  float peaks[3] = {};
  EXPECT_NE(mixer->GetPeakLevels(mixerObject, source, 3, peaks), 0);
  EXPECT_EQ(mixer->GetPeakLevels(mixerObject, source, 2, peaks), 0);
  EXPECT_FLOAT_EQ(peaks[1], -9.5f);
  std::uint8_t solo = 0;
  EXPECT_EQ(transport->GetSoloState(transportObject, &solo), 0);
  EXPECT_EQ(solo, 1);
  EXPECT_EQ(marker->GetMarkerCount(markerObject, &hostMarkers), 0);
  EXPECT_EQ(hostMarkers, 12);
}

TEST_F(HostSuitesTest, CommandsAreDescribedAsHostStringsAndRunWithAnExecLine) {
  const auto* host = Acquire<hostsdk::SurfaceHostSuite1>(hostsdk::kSurfaceHostSuiteName, 1);
  const auto* commands = Acquire<hostsdk::HostCommandSuite1>(hostsdk::kHostCommandSuiteName, 1);
  const auto* strings = Acquire<hostsdk::StringSuite1>(hostsdk::kStringSuiteName, 1);
  ASSERT_TRUE(host && commands && strings);
  hostsdk::HostObject object = nullptr;
  ASSERT_EQ(host->GetCommandObject(5, &object), 0);
  std::uint32_t count = 0;
  EXPECT_EQ(commands->GetCommandCount(object, &count), 0);
  EXPECT_EQ(count, 2u);

  hostsdk::HostString s[4] = {};
  EXPECT_NE(commands->DescribeCommand(object, 1, &s[0], &s[1], &s[2], &s[3]), 0);
  EXPECT_EQ(s[0].handle, 0u);
  ASSERT_EQ(commands->DescribeCommand(object, 0, &s[0], &s[1], &s[2], &s[3]), 0);
  char text[16] = {};
  std::uint32_t size = 4;
  EXPECT_EQ(strings->CopyToUtf8(&s[1], text, &size), hostsdk::kStringBufferTooSmall);
  EXPECT_EQ(size, 10u);
  size = sizeof text;
  EXPECT_EQ(strings->CopyToUtf8(&s[1], text, &size), 0);
  EXPECT_STREQ(text, "Camera: 1");
  for (hostsdk::HostString& string : s)
    EXPECT_EQ(strings->DisposeString(&string), 0);

  hostsdk::HostString name{}, category{};
  ASSERT_EQ(strings->AllocateFromUtf8("cmd.a", &name), 0);
  ASSERT_EQ(strings->AllocateFromUtf16(u"Multi\u00e9", &category), 0);
  EXPECT_EQ(commands->ExecuteCommand(object, nullptr, &name), 0);
  EXPECT_EQ(commands->ExecuteCommand(object, &category, &name), 0);
  EXPECT_EQ(strings->DisposeString(&category), 0);
  EXPECT_EQ(strings->DisposeString(&name), 0);
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_EQ(lines_[0], R"({"event":"exec","category":null,"command":"cmd.a"})");
  EXPECT_EQ(lines_[1], "{\"event\":\"exec\",\"category\":\"Multi\xc3\xa9\",\"command\":\"cmd.a\"}");
}

} // namespace
} // namespace zylsim
