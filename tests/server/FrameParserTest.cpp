// The frame reader's parser, fed bytes directly: every frame case, each delivered whole,
// byte by byte, and split after 1 byte, at half and one byte before the end.
#include "server/FrameParser.h"

#include "support/WsTestClient.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ZYL {
namespace {

using Outcome = FrameParser::Outcome;
using EndReason = FrameParser::EndReason;
using zyltest::EncodeClientFrame;

struct Event {
  Outcome outcome;
  std::string data;
  EndReason reason;
  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& event) {
  return out << "{outcome " << static_cast<int>(event.outcome) << ", " << event.data.size()
             << " bytes, reason " << static_cast<int>(event.reason) << "}";
}

// Feeds `stream` in chunks that end at `cuts` and collects every outcome until the end.
std::vector<Event> Parse(std::string_view stream, const std::vector<std::size_t>& cuts,
                         FrameParser::Rules rules = FrameParser::Rules::Lenient) {
  FrameParser parser(rules);
  std::vector<Event> events;
  std::size_t start = 0;
  std::vector<std::size_t> ends = cuts;
  ends.push_back(stream.size());
  for (const std::size_t end : ends) {
    std::string_view chunk = stream.substr(start, end - start);
    start = end;
    while (!chunk.empty()) {
      FrameParser::Step step = parser.Feed(chunk);
      EXPECT_LE(step.consumed, chunk.size());
      chunk.remove_prefix(step.consumed);
      if (step.outcome == Outcome::NeedMore) {
        EXPECT_TRUE(chunk.empty()) << "need-more must take every byte given";
        break;
      }
      events.push_back({step.outcome, std::move(step.data), step.reason});
      if (step.outcome == Outcome::End) return events;
    }
  }
  return events;
}

std::vector<std::vector<std::size_t>> SplitPlans(std::size_t size) {
  std::vector<std::vector<std::size_t>> plans{{}};
  for (const std::size_t cut : {std::size_t{1}, size / 2, size - 1})
    if (cut > 0 && cut < size) plans.push_back({cut});
  std::vector<std::size_t> everyByte;
  for (std::size_t i = 1; i < size; ++i)
    everyByte.push_back(i);
  plans.push_back(everyByte);
  return plans;
}

struct FrameCase {
  const char* name;
  std::string stream;
  std::vector<Event> expected;
};

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int value : values)
    bytes.push_back(static_cast<char>(value));
  return bytes;
}

std::vector<FrameCase> FrameCases() {
  const std::string text300(300, 'x');
  const std::string ping200(200, 'p');
  return {
      {"masked text",
       EncodeClientFrame(0x1, "get.version"),
       {{Outcome::Message, "get.version", EndReason::None}}},
      {"unmasked text",
       EncodeClientFrame(0x1, "get.version", false),
       {{Outcome::Message, "get.version", EndReason::None}}},
      {"16-bit length",
       EncodeClientFrame(0x1, text300),
       {{Outcome::Message, text300, EndReason::None}}},
      {"64-bit length ends without reply",
       EncodeClientFrame(0x1, std::string(70000, 'y')),
       {{Outcome::End, "", EndReason::LongLength}}},
      {"ping answered, reading goes on",
       EncodeClientFrame(0x9, "abc") + EncodeClientFrame(0x1, "next"),
       {{Outcome::Reply,
         "\x8A\x03"
         "abc",
         EndReason::None},
        {Outcome::Message, "next", EndReason::None}}},
      {"long ping answered with its first 125 bytes",
       EncodeClientFrame(0x9, ping200),
       {{Outcome::Reply, Bytes({0x8A, 125}) + ping200.substr(0, 125), EndReason::None}}},
      {"empty ping",
       EncodeClientFrame(0x9, "", false),
       {{Outcome::Reply, Bytes({0x8A, 0x00}), EndReason::None}}},
      {"close echoes the status code only",
       EncodeClientFrame(0x8, Bytes({0x03, 0xE8}) + "bye"),
       {{Outcome::End, Bytes({0x88, 0x02, 0x03, 0xE8}), EndReason::CloseFrame}}},
      {"empty close",
       EncodeClientFrame(0x8, ""),
       {{Outcome::End, Bytes({0x88, 0x00}), EndReason::CloseFrame}}},
      {"one-byte close",
       EncodeClientFrame(0x8, "x"),
       {{Outcome::End, Bytes({0x88, 0x00}), EndReason::CloseFrame}}},
      {"empty text ends", EncodeClientFrame(0x1, ""), {{Outcome::End, "", EndReason::EmptyText}}},
      {"binary, continuation, pong and reserved frames are skipped",
       EncodeClientFrame(0x2, "bin") + EncodeClientFrame(0x0, "cont") +
           EncodeClientFrame(0xA, "pong") + EncodeClientFrame(0x3, "r3") +
           EncodeClientFrame(0xB, "", false) + EncodeClientFrame(0xF, std::string(130, 'r')) +
           EncodeClientFrame(0x1, "after"),
       {{Outcome::Message, "after", EndReason::None}}},
      {"first fragment returned, its continuation dropped",
       Bytes({0x01, 0x83}) + "\x01\x02\x03\x04" + Bytes({'a' ^ 1, 'b' ^ 2, 'c' ^ 3}) +
           EncodeClientFrame(0x0, "def") + EncodeClientFrame(0x1, "ghi"),
       {{Outcome::Message, "abc", EndReason::None}, {Outcome::Message, "ghi", EndReason::None}}},
      {"bytes after a close are not taken",
       EncodeClientFrame(0x8, "") + EncodeClientFrame(0x1, "late"),
       {{Outcome::End, Bytes({0x88, 0x00}), EndReason::CloseFrame}}},
  };
}

TEST(FrameParser, EveryFrameCaseGivesTheSameOutcomesAtEverySplit) {
  for (const FrameCase& frameCase : FrameCases()) {
    for (const std::vector<std::size_t>& cuts : SplitPlans(frameCase.stream.size())) {
      EXPECT_EQ(Parse(frameCase.stream, cuts), frameCase.expected)
          << frameCase.name << " split into " << cuts.size() + 1 << " pieces";
    }
  }
}

TEST(FrameParser, StopsAtTheFrameThatYieldsAMessage) {
  const std::string first = EncodeClientFrame(0x1, "one");
  const std::string stream = first + EncodeClientFrame(0x1, "two");
  FrameParser parser;
  const FrameParser::Step step = parser.Feed(stream);
  EXPECT_EQ(step.outcome, Outcome::Message);
  EXPECT_EQ(step.data, "one");
  EXPECT_EQ(step.consumed, first.size());
}

// The socket reader receives exactly these field sizes, one waiting receive each.
TEST(FrameParser, AsksForHeaderLengthKeyAndPayloadInTurn) {
  const std::string frame = EncodeClientFrame(0x1, std::string(300, 'z'));
  FrameParser parser;
  std::vector<std::size_t> wanted;
  std::size_t offset = 0;
  for (;;) {
    const std::size_t size = parser.BytesWanted();
    wanted.push_back(size);
    const FrameParser::Step step = parser.Feed(std::string_view(frame).substr(offset, size));
    ASSERT_EQ(step.consumed, size);
    offset += size;
    if (step.outcome != Outcome::NeedMore) break;
  }
  EXPECT_EQ(wanted, (std::vector<std::size_t>{2, 2, 4, 300}));
  EXPECT_EQ(offset, frame.size());
}

// What the JSON rules make of `stream`, as one text per outcome: "message <size>", "pong",
// "echo <code>" (the answer to a client's close, 0 for one without a code) or "fault <code>".
std::vector<std::string> JsonOutcomes(std::string_view stream,
                                      const std::vector<std::size_t>& cuts) {
  std::vector<std::string> outcomes;
  for (const Event& event : Parse(stream, cuts, FrameParser::Rules::Rfc6455)) {
    const int code = event.data.size() >= 4 ? static_cast<unsigned char>(event.data[2]) << 8 |
                                                  static_cast<unsigned char>(event.data[3])
                                            : 0;
    switch (event.outcome) {
    case Outcome::Message:
      outcomes.push_back("message " + std::to_string(event.data.size()));
      break;
    case Outcome::Reply:
      outcomes.push_back("pong");
      break;
    default:
      outcomes.push_back((event.reason == EndReason::CloseFrame ? "echo " : "fault ") +
                         std::to_string(code));
    }
  }
  return outcomes;
}

struct JsonCase {
  const char* name;
  std::string stream;
  std::vector<std::string> expected;
};

void ExpectJsonOutcomesAtEverySplit(const std::vector<JsonCase>& cases) {
  for (const JsonCase& jsonCase : cases)
    for (const std::vector<std::size_t>& cuts : SplitPlans(jsonCase.stream.size()))
      EXPECT_EQ(JsonOutcomes(jsonCase.stream, cuts), jsonCase.expected)
          << jsonCase.name << " split into " << cuts.size() + 1 << " pieces";
}

// A 64-bit length of a masked frame: the header, the length's eight bytes, the key and the
// payload; `length` need not be the payload's size.
std::string Frame64(int first, std::uint64_t length, std::string_view payload) {
  std::string frame = Bytes({first, 0x80 | 127});
  for (int shift = 56; shift >= 0; shift -= 8)
    frame.push_back(static_cast<char>(length >> shift & 0xFF));
  frame.append(4, '\0');
  return frame.append(payload);
}

TEST(FrameParser, JsonRulesJudgeA64BitLengthByItsValue) {
  const std::string text47(47, 't');
  ExpectJsonOutcomesAtEverySplit({
      {"47 bytes", Frame64(0x81, 47, text47), {"message 47"}},
      {"65535 bytes", Frame64(0x81, 65535, std::string(65535, 'x')), {"message 65535"}},
      {"ping of 3 bytes", Frame64(0x89, 3, "abc"), {"pong"}},
      {"fragments of 65535 bytes in all",
       Frame64(0x01, 65000, std::string(65000, 'x')) + Frame64(0x80, 535, std::string(535, 'y')),
       {"message 65535"}},
      {"65536 bytes", Frame64(0x81, 65536, ""), {"fault 1009"}},
      {"2^63 - 1 bytes", Frame64(0x81, (std::uint64_t{1} << 63) - 1, ""), {"fault 1009"}},
      {"top bit set", Frame64(0x81, std::uint64_t{1} << 63 | 47, text47), {"fault 1002"}},
  });
}

TEST(FrameParser, JsonRulesCloseOnAnUnmaskedFrame) {
  std::string firstFragment = EncodeClientFrame(0x1, "{");
  firstFragment[0] = static_cast<char>(firstFragment[0] & 0x7F);
  ExpectJsonOutcomesAtEverySplit({
      {"masked text", EncodeClientFrame(0x1, "{}"), {"message 2"}},
      {"text", EncodeClientFrame(0x1, "{}", false), {"fault 1002"}},
      {"text of 300 bytes", EncodeClientFrame(0x1, std::string(300, ' '), false), {"fault 1002"}},
      {"continuation", firstFragment + EncodeClientFrame(0x0, "}", false), {"fault 1002"}},
      {"ping", EncodeClientFrame(0x9, "abc", false), {"fault 1002"}},
      {"close", EncodeClientFrame(0x8, Bytes({0x03, 0xE8}), false), {"fault 1002"}},
  });
}

// Regression: a binary frame inside a fragmented message was closed as a binary message
// (1003); it is a new data frame where only a continuation may come (1002).
TEST(FrameParser, JsonRulesRefuseANewMessageInsideAFragmentedOneAsAProtocolError) {
  std::string firstFragment = EncodeClientFrame(0x1, "{");
  firstFragment[0] = static_cast<char>(firstFragment[0] & 0x7F);
  ExpectJsonOutcomesAtEverySplit({
      {"binary alone", EncodeClientFrame(0x2, "{}"), {"fault 1003"}},
      {"binary inside", firstFragment + EncodeClientFrame(0x2, "}"), {"fault 1002"}},
      {"text inside", firstFragment + EncodeClientFrame(0x1, "}"), {"fault 1002"}},
  });
}

// RFC 6455 5.5.1 and 7.4: a close carries no payload, or a code an endpoint may send and a
// UTF-8 reason.
TEST(FrameParser, JsonRulesEchoAValidCloseAndRefuseAFaultyOne) {
  const auto close = [](int code, std::string_view reason = "") {
    return EncodeClientFrame(0x8, Bytes({code >> 8, code & 0xFF}) + std::string(reason));
  };
  std::vector<JsonCase> cases{
      {"no payload", EncodeClientFrame(0x8, ""), {"echo 0"}},
      {"1 byte", EncodeClientFrame(0x8, "\x03"), {"fault 1002"}},
      {"reason in UTF-8", close(1000, "adi\xC3\xB3s"), {"echo 1000"}},
      {"reason not UTF-8", close(1000, "\xC0\xAF"), {"fault 1007"}},
  };
  for (const int code : {1000, 1003, 1007, 1012, 1014, 3000, 4999})
    cases.push_back({"sendable code", close(code), {"echo " + std::to_string(code)}});
  for (const int code : {0, 999, 1004, 1005, 1006, 1015, 1016, 2999, 5000, 65535})
    cases.push_back({"code no endpoint may send", close(code), {"fault 1002"}});
  ExpectJsonOutcomesAtEverySplit(cases);
}

} // namespace
} // namespace ZYL
