#include "timeline/MarkerLookup.h"

#include "hostsdk/MediaSuites.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(FoldedNameTest, AsciiUnitsAreKeptAndEveryOtherUnitIsAnUnderscore) {
  const std::u16string name = u"Caf\u00e9 \U0001F3AC";
  EXPECT_TRUE(ZYL::FoldedNameEquals(name.c_str(), name.size(), "Caf_ __"));
  EXPECT_FALSE(ZYL::FoldedNameEquals(name.c_str(), name.size(), "Caf\u00e9 \U0001F3AC"));
  EXPECT_FALSE(ZYL::FoldedNameEquals(name.c_str(), name.size(), "Caf_ _"));
  EXPECT_FALSE(ZYL::FoldedNameEquals(name.c_str(), name.size(), "Caf_ ___"));
}

TEST(FoldedNameTest, NameEndsAtAZeroUnitOrAtTheAnnouncedSize) {
  const std::u16string units = u"abcd";
  EXPECT_TRUE(ZYL::FoldedNameEquals(units.c_str(), 2, "ab"));
  EXPECT_FALSE(ZYL::FoldedNameEquals(units.c_str(), 2, "abc"));
  const char16_t withZero[] = {u'a', u'\0', u'b'};
  EXPECT_TRUE(ZYL::FoldedNameEquals(withZero, 3, "a"));
  EXPECT_TRUE(ZYL::FoldedNameEquals(withZero, 0, ""));
}

// A host whose marker suite announces name sizes of its own choosing; it has no video
// segment suite, so only timelines noted beforehand are searched.
namespace fakehost {

struct FakeMarker {
  std::uint64_t announcedSize;
  std::u16string name;
  std::int64_t time;
};

std::vector<FakeMarker> markers;
int nameCalls = 0;
int acquired = 0;

hostsdk::ErrorCode Count(std::int32_t, std::uint32_t* count) {
  *count = static_cast<std::uint32_t>(markers.size());
  return hostsdk::kSuccess;
}
hostsdk::ErrorCode NameSize(std::int32_t, std::uint32_t index, std::uint64_t* size) {
  *size = markers.at(index).announcedSize;
  return hostsdk::kSuccess;
}
hostsdk::ErrorCode Name(std::int32_t, std::uint32_t index, char16_t** name) {
  ++nameCalls;
  const FakeMarker& marker = markers.at(index);
  std::memcpy(*name, marker.name.data(), marker.announcedSize);
  return hostsdk::kSuccess;
}
hostsdk::ErrorCode Time(std::int32_t, std::uint32_t index, std::int64_t* time) {
  *time = markers.at(index).time;
  return hostsdk::kSuccess;
}

const hostsdk::SequenceMarkerSuite markerSuite{Count, NameSize, Name, Time};

hostsdk::ErrorCode Acquire(const char* name, std::int32_t version, const void** table) {
  if (std::string(name) != hostsdk::kSequenceMarkerSuiteName || version != 3)
    return hostsdk::kNotImplemented;
  ++acquired;
  *table = &markerSuite;
  return hostsdk::kSuccess;
}
hostsdk::ErrorCode Release(const char*, std::int32_t) {
  --acquired;
  return hostsdk::kSuccess;
}

const hostsdk::BasicSuite basicSuite{Acquire, Release};

} // namespace fakehost

// An odd size cannot be UTF-16 and a huge one would be allocated as announced; both
// markers must be skipped without reading their names, and the search goes on.
TEST(FindMarkerByNameTest, SkipsMarkersWithOddOrAbsurdNameSizes) {
  fakehost::markers = {
      {5, u"abc", 1},
      {std::uint64_t{1} << 40, u"ab", 2},
      {4, u"ab", 3},
  };
  fakehost::nameCalls = 0;
  const std::atomic<bool> keepRunning{true};
  ZYL::TimelineCache timelines(&fakehost::basicSuite, keepRunning);
  timelines.NoteTimeline(9);

  const std::optional<ZYL::MarkerMatch> match =
      ZYL::FindMarkerByName(&fakehost::basicSuite, timelines, "ab");
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->timeline, 9);
  EXPECT_EQ(match->time, 3);
  EXPECT_EQ(fakehost::nameCalls, 1);
  EXPECT_EQ(fakehost::acquired, 0);
}

} // namespace
