#include "vitals/VitalsRecord.h"

#include "vitals/JsonString.h"

#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

namespace ZYL {
namespace {

constexpr std::string_view kVitalsPrefix = "vitals:";

nlohmann::json ParseRecord(const std::string& record) {
  EXPECT_EQ(record.substr(0, kVitalsPrefix.size()), kVitalsPrefix);
  return nlohmann::json::parse(record.substr(kVitalsPrefix.size()));
}

std::string Escaped(std::string_view text) {
  std::string out;
  AppendJsonStringBody(out, text);
  return out;
}

TEST(VitalsRecord, DefaultRecordIsExactlyTheWireFormat) {
  VitalsValues values;
  values.timecode = "00:00:01:02";
  values.speed = 1.0;
  EXPECT_EQ(FormatVitalsRecord(values),
            "vitals:{\"v\":\"1.2.4\",\"playing\":false,\"idleSec\":0,\"paused\":false,"
            "\"recording\":false,\"rewind\":false,\"ffwd\":false,\"speed\":1.00,"
            "\"timecode\":\"00:00:01:02\",\"displayMode\":0,\"cuts\":-1,\"cutsChanged\":false,"
            "\"edited\":false,\"seqChanged\":false,\"markers\":-1,\"tracks\":-1,"
            "\"audioPeakDb\":-999.0,\"soloActive\":false}");
}

TEST(VitalsRecord, EveryFieldLandsInItsMember) {
  VitalsValues values;
  values.playing = true;
  values.idleSec = 42;
  values.ffwd = true;
  values.speed = -2.456;
  values.displayMode = -1;
  values.cuts = 17;
  values.changes = {true, false, true};
  values.markers = 1000012;
  values.tracks = 6;
  values.audioPeakDb = -3.04;
  values.soloActive = true;
  const nlohmann::json record = ParseRecord(FormatVitalsRecord(values));
  EXPECT_EQ(record["playing"], true);
  EXPECT_EQ(record["idleSec"], 42);
  EXPECT_EQ(record["paused"], false);
  EXPECT_EQ(record["ffwd"], true);
  EXPECT_DOUBLE_EQ(record["speed"].get<double>(), -2.46);
  EXPECT_EQ(record["displayMode"], 4294967295u); // passed on as the unsigned value
  EXPECT_EQ(record["cuts"], 17);
  EXPECT_EQ(record["seqChanged"], true);
  EXPECT_EQ(record["cutsChanged"], false);
  EXPECT_EQ(record["edited"], true);
  EXPECT_EQ(record["markers"], 1000012);
  EXPECT_EQ(record["tracks"], 6);
  EXPECT_DOUBLE_EQ(record["audioPeakDb"].get<double>(), -3.0);
  EXPECT_EQ(record["soloActive"], true);
}

TEST(VitalsRecord, TimecodeWithQuotesBackslashesAndControlsStaysOneString) {
  VitalsValues values;
  values.timecode = std::string("01\"02\\03\n04\t\x01\x1f\x7f", 15);
  const nlohmann::json record = ParseRecord(FormatVitalsRecord(values));
  EXPECT_EQ(record["timecode"], values.timecode);
  EXPECT_EQ(record.size(), 18u);
}

TEST(JsonStringBody, EscapesOnlyWhatJsonRequires) {
  EXPECT_EQ(Escaped("a\"b\\c"), "a\\\"b\\\\c");
  EXPECT_EQ(Escaped(std::string("\b\f\n\r\t\x00\x1f", 7)), "\\b\\f\\n\\r\\t\\u0000\\u001f");
  EXPECT_EQ(Escaped("01:00 \x7f/"), "01:00 \x7f/");
  EXPECT_EQ(Escaped("\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xac"),
            "\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xac");
}

TEST(JsonStringBody, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Escaped("\xff"), "\\ufffd");
  EXPECT_EQ(Escaped("\x80"
                    "a"),
            "\\ufffda");                                                  // stray continuation
  EXPECT_EQ(Escaped("\xc0\xaf"), "\\ufffd\\ufffd");                       // overlong
  EXPECT_EQ(Escaped("\xed\xa0\x80"), "\\ufffd\\ufffd\\ufffd");            // surrogate
  EXPECT_EQ(Escaped("\xf4\x90\x80\x80"), "\\ufffd\\ufffd\\ufffd\\ufffd"); // above U+10FFFF
  EXPECT_EQ(Escaped("12\xe2\x82"), "12\\ufffd\\ufffd");                   // cut short
}

TEST(VitalsRecord, StrangeHostTimecodeBytesStillParse) {
  VitalsValues values;
  for (int byte = 0; byte < 256; ++byte)
    values.timecode += static_cast<char>(byte);
  EXPECT_NO_THROW(ParseRecord(FormatVitalsRecord(values)));
}

TEST(VitalsRecord, LongestPossibleRecordIsComplete) {
  VitalsValues values;
  values.idleSec = std::numeric_limits<std::int32_t>::min();
  values.speed = -std::numeric_limits<double>::max();
  values.displayMode = -1;
  values.cuts = values.markers = values.tracks = std::numeric_limits<std::int32_t>::min();
  values.audioPeakDb = -std::numeric_limits<double>::max();
  // The host bridge keeps at most 64 bytes of timecode; each may need six characters.
  values.timecode = std::string(64, '\x01');
  const std::string record = FormatVitalsRecord(values);
  EXPECT_EQ(record.size(), kLongestVitalsRecordWithoutTimecode + 64 * kLongestEscapePerByte);
  EXPECT_EQ(record.back(), '}');
  const nlohmann::json parsed = ParseRecord(record);
  EXPECT_EQ(parsed["soloActive"], false);
  EXPECT_EQ(parsed["timecode"], values.timecode);
}

} // namespace
} // namespace ZYL
