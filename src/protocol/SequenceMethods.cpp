#include "protocol/JsonMethods.h"
#include "protocol/RecordMembers.h"
#include "protocol/SequenceReading.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

// A timeline the host cannot describe: its id, and null for every other member.
Json UndescribedSequence(std::int32_t timeline) {
  Json entry = Json::object();
  for (const Member& member : SequenceMembers(true))
    entry[std::string(member.name)] = nullptr;
  entry["timelineID"] = timeline;
  return entry;
}

} // namespace

// The same reading as the text protocol's sequence record. A timeline the client named that
// the host cannot describe is one it does not know.
Outcome SequenceMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> timeline = params.Int32("timeline", Presence::Optional, 0);
  if (params.Error()) return *params.Error();
  const SequenceReading reading = ReadSequence(engine, timeline);
  if (!reading.fault) return Json::parse(reading.record);
  if (*reading.fault == "nosuite")
    return ResponseError{ErrorCode::Unavailable, "the host offers no sequence information",
                         std::nullopt, std::nullopt};
  if (*reading.fault == "notimeline" || timeline)
    return ResponseError{ErrorCode::NotFound, "no such timeline", std::nullopt, std::nullopt};
  return ResponseError{ErrorCode::HostError, "the host refused the sequence's frame duration",
                       std::nullopt, std::stoll(*reading.fault)};
}

// Each timeline the engine knows, read as sequence.get reads it; the search order is not
// changed by the listing.
Outcome SequencesListMethod(EngineParts& engine, RequestParams&) {
  const std::int32_t current = engine.timelines.CurrentTimeline();
  Json sequences = Json::array();
  for (const std::int32_t timeline : KnownTimelines(engine)) {
    const SequenceReading reading = ReadSequence(engine, timeline);
    Json entry = reading.fault ? UndescribedSequence(timeline) : Json::parse(reading.record);
    entry["current"] = timeline == current;
    sequences.push_back(std::move(entry));
  }
  return Json{{"sequences", sequences}};
}

} // namespace ZYL
