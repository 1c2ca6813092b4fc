#include "protocol/JsonMethods.h"
#include "protocol/RecordMembers.h"
#include "protocol/SequenceReading.h"
#include "timeline/TimelineSearch.h"

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

// Whether the host refuses `timeline` as a bad parameter: the sequence information alone
// answers so too for a timeline that has no sequence settings, so its segments are asked.
bool IsGone(EngineParts& engine, std::int32_t timeline) {
  const std::optional<bool> known = HostKnowsTimeline(engine.host.basicSuite, timeline);
  return known.has_value() && !*known;
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
  if (timeline)
    return ResponseError{ErrorCode::NotFound, "no such timeline", std::string("timeline"),
                         std::nullopt};
  if (*reading.fault == "notimeline")
    return ResponseError{ErrorCode::NotFound, "no such timeline", std::nullopt, std::nullopt};
  return ResponseError{ErrorCode::HostError, "the host refused the sequence's frame duration",
                       std::nullopt, std::stoll(*reading.fault)};
}

// Each timeline the engine knows, read as sequence.get reads it; the listing moves no
// timeline in the search order. One the host no longer knows leaves the cache, as it does in
// the text protocol's queries, and is not listed. When
// none the engine knew is left, the list is what a new scan finds.
Outcome SequencesListMethod(EngineParts& engine, RequestParams&) {
  Json sequences = Json::array();
  for (int round = 0; round < 2; ++round) {
    const std::int32_t current = engine.timelines.CurrentTimeline();
    bool anyGone = false;
    for (const std::int32_t timeline : KnownTimelines(engine)) {
      const SequenceReading reading = ReadSequence(engine, timeline);
      if (reading.fault && IsGone(engine, timeline)) {
        engine.timelines.NoteRefusal(timeline, hostsdk::kBadParameter);
        anyGone = true;
        continue;
      }
      Json entry = reading.fault ? UndescribedSequence(timeline) : Json::parse(reading.record);
      entry["current"] = timeline == current;
      sequences.push_back(std::move(entry));
    }
    if (!sequences.empty() || !anyGone) break;
  }
  return Json{{"sequences", sequences}};
}

} // namespace ZYL
