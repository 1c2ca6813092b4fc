// The frame parser against any byte stream a client may send, under both protocols' rules.
// The stream is read three ways: whole, one byte at a time, and in the exact field sizes the
// socket reader asks for. TCP may cut frames anywhere, so all three readings must yield the
// same outcomes.
#include "FuzzCheck.h"
#include "server/FrameParser.h"
#include "server/ValidUtf8.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using ZYL::FrameParser;
using Outcome = FrameParser::Outcome;
using Rules = FrameParser::Rules;

constexpr std::size_t kLargestMessage = 65535;
constexpr std::size_t kLargestControlFrame = 2 + 125;

struct Result {
  Outcome outcome;
  FrameParser::EndReason reason;
  std::string data;
  bool operator==(const Result&) const = default;
};

struct Reading {
  std::vector<Result> results;
  std::size_t consumed = 0; // bytes taken up to End, or all of them
  bool operator==(const Reading&) const = default;
};

void CheckStep(const FrameParser::Step& step, std::size_t offered, Rules rules) {
  using zylfuzz::Require;
  Require(step.consumed <= offered, "a step takes no more bytes than it was given");
  if (step.outcome == Outcome::NeedMore) {
    Require(step.consumed == offered, "NeedMore takes every byte");
    return;
  }
  Require(step.consumed > 0, "an outcome comes from the bytes of this step");
  switch (step.outcome) {
  case Outcome::Message:
    // The text rules pass over an empty message; under the JSON rules it is one, which the
    // session refuses as no JSON.
    Require(step.data.size() <= kLargestMessage, "message size");
    Require(rules == Rules::Rfc6455 || !step.data.empty(), "a text-rules message is not empty");
    Require(rules == Rules::Lenient || ZYL::IsValidUtf8(step.data),
            "a JSON-rules message is valid UTF-8");
    break;
  case Outcome::Reply:
    Require(step.data.size() >= 2 && step.data.size() <= kLargestControlFrame &&
                static_cast<std::uint8_t>(step.data[0]) == 0x8A,
            "a reply is one pong frame");
    Require(static_cast<std::size_t>(step.data[1]) == step.data.size() - 2,
            "the pong's length field matches its payload");
    break;
  case Outcome::End:
    Require(step.data.empty() || static_cast<std::uint8_t>(step.data[0]) == 0x88,
            "the only reply at the end is a close frame");
    break;
  case Outcome::NeedMore:
    break;
  }
}

// `sliceSize` 0 means: as many bytes as the parser says it wants.
Reading Read(std::string_view stream, std::size_t sliceSize, Rules rules) {
  FrameParser parser(rules);
  Reading reading;
  while (reading.consumed < stream.size()) {
    const std::size_t wanted = parser.BytesWanted();
    zylfuzz::Require(wanted > 0, "a live parser always wants a byte");
    const std::string_view slice = stream.substr(reading.consumed, sliceSize ? sliceSize : wanted);
    FrameParser::Step step = parser.Feed(slice);
    CheckStep(step, slice.size(), rules);
    reading.consumed += step.consumed;
    if (step.outcome == Outcome::NeedMore) continue;
    reading.results.push_back({step.outcome, step.reason, std::move(step.data)});
    if (step.outcome == Outcome::End) break;
  }
  return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view stream = zylfuzz::AsText(data, size);
  for (const Rules rules : {Rules::Lenient, Rules::Rfc6455}) {
    const Reading whole = Read(stream, stream.size() + 1, rules);
    zylfuzz::Require(Read(stream, 1, rules) == whole, "byte-by-byte reading agrees with the whole");
    zylfuzz::Require(Read(stream, 0, rules) == whole, "field-sized reading agrees with the whole");
  }
  return 0;
}
