#include "protocol/JsonMethods.h"
#include "protocol/RecordMembers.h"
#include "protocol/SequenceReading.h"
#include "timeline/TimelineSearch.h"

#include <cmath>

namespace ZYL {

namespace {

using Json = nlohmann::json;
using Fault = SequenceReading::Fault;

Json SequenceObject(std::int32_t timeline, const SequenceValues& values) {
  const std::optional<hostsdk::FrameRect>& rect = values.rect;
  const std::optional<PixelAspect>& aspect = values.pixelAspect;
  Json fps = nullptr;
  if (values.ticksPerSecond)
    fps = std::round(static_cast<double>(*values.ticksPerSecond) /
                     static_cast<double>(values.ticksPerFrame) * 1000.0) /
          1000.0;
  return {{"timelineID", timeline},
          {"ticksPerSecond", ValueOrNull(values.ticksPerSecond)},
          {"ticksPerFrame", values.ticksPerFrame},
          {"fps", fps},
          {"dropFrame", ValueOrNull(values.dropFrame)},
          {"width", rect ? Json(Extent(rect->left, rect->right)) : Json(nullptr)},
          {"height", rect ? Json(Extent(rect->top, rect->bottom)) : Json(nullptr)},
          {"parNum", aspect ? Json(aspect->numerator) : Json(nullptr)},
          {"parDen", aspect ? Json(aspect->denominator) : Json(nullptr)},
          {"zeroPointTicks", ValueOrNull(values.zeroPointTicks)}};
}

ResponseError DurationError(const SequenceReading& reading) {
  if (reading.status == hostsdk::kSuccess)
    return {ErrorCode::HostError, "the host gave a frame duration that is not positive",
            std::nullopt, std::nullopt};
  return {ErrorCode::HostError, "the host refused the sequence's frame duration", std::nullopt,
          reading.status};
}

} // namespace

Json SequenceRecord(const SequenceReading& reading) {
  if (reading.fault == Fault::None) return SequenceObject(reading.timeline, reading.values);
  Json entry = Json::object();
  for (const Member& member : SequenceMembers())
    entry[std::string(member.name)] = nullptr;
  entry["timelineID"] = reading.timeline;
  return entry;
}

// The same reading as the text protocol's sequence record. Only a timeline the host denies
// is not found: one it knows that has no sequence settings is described with nulls.
Outcome SequenceMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> timeline = params.Int32("timeline", Presence::Optional, 0);
  if (params.Error()) return *params.Error();
  const SequenceReading reading = ReadSequence(engine, timeline);
  if (reading.fault == Fault::NoSuite)
    return ResponseError{ErrorCode::Unavailable, "the host offers no sequence information",
                         std::nullopt, std::nullopt};
  const bool refused = reading.fault == Fault::Refused;
  if (reading.fault == Fault::NoTimeline ||
      (refused && HostDeniesTimeline(engine.host.basicSuite, reading.timeline)))
    return ResponseError{ErrorCode::NotFound, "no such timeline",
                         timeline ? std::optional<std::string>("timeline") : std::nullopt,
                         std::nullopt};
  if (refused && reading.status != hostsdk::kBadParameter) return DurationError(reading);
  return SequenceRecord(reading);
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
      if (reading.fault != Fault::None && HostDeniesTimeline(engine.host.basicSuite, timeline)) {
        engine.timelines.NoteRefusal(timeline, hostsdk::kBadParameter);
        anyGone = true;
        continue;
      }
      Json entry = SequenceRecord(reading);
      entry["current"] = timeline == current;
      sequences.push_back(std::move(entry));
    }
    if (!sequences.empty() || !anyGone) break;
  }
  return Json{{"sequences", sequences}};
}

} // namespace ZYL
