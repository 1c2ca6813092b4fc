#include "protocol/json/JsonMethodTable.h"

#include "host/HostCommands.h"
#include "protocol/RecordMembers.h"
#include "protocol/json/methods/AngleMethods.h"
#include "protocol/json/methods/ClipMethods.h"
#include "protocol/json/methods/CommandMethods.h"
#include "protocol/json/methods/DebugMethods.h"
#include "protocol/json/methods/InfoMethods.h"
#include "protocol/json/methods/MarkerMethods.h"
#include "protocol/json/methods/PlayheadMethods.h"
#include "protocol/json/methods/SequenceMethods.h"
#include "protocol/json/methods/TransportMethods.h"
#include "protocol/json/methods/VitalsMethods.h"
#include "timeline/TimelineScan.h"

#include <iterator>
#include <limits>
#include <string>

namespace ZYL {

namespace {

using Json = nlohmann::json;
constexpr auto kOptional = Presence::Optional;
constexpr auto kRequired = Presence::Required;

MethodParam TicksParam(std::string_view name, Presence presence, std::string_view summary) {
  return {name, ParamType::Ticks, presence, summary};
}

MethodParam TrackParam() {
  return {"track", ParamType::Integer, kOptional, "the host's track index; -1: any track", -1};
}

MethodParam TimelineParam(std::string_view summary) {
  return {"timeline", ParamType::TimelineId, kOptional, summary, nullptr, 0};
}

constexpr std::string_view kSearchThisTimeline =
    "search this timeline alone; without it (and without a pin) the engine's order is searched, "
    "its current timeline first; either way the search order is left as it was";

Member AnsweredBy() {
  return OrNull("timelineID", "timelineID", "the timeline that answered; null when none did");
}

Member MarkerFound() {
  return OrNull("marker", "object", "the marker found; null when no marker has this name",
                {Always("timelineID", "timelineID", "the marker's timeline"),
                 Always("ticks", "ticks", "the marker's time")});
}

std::vector<Member> FrameSizeMembers() {
  return {OrNull("width", "integer", "the clip's source frame width; null when nothing is found"),
          OrNull("height", "integer", "the clip's source frame height; null when nothing is found"),
          AnsweredBy()};
}

Member TransitionSideMember(std::string_view name, std::string_view summary) {
  return OrNull(name, "object", summary,
                {Always("name", "string", "the transition's match name, as the host gives it"),
                 Always("durationTicks", "ticks", "the transition's duration")});
}

std::vector<Member> Appended(std::vector<Member> members, std::vector<Member> more) {
  members.insert(members.end(), more.begin(), more.end());
  return members;
}

std::vector<Member> SequenceListEntry() {
  std::vector<Member> sequence = SequenceMembers();
  std::vector<Member> entry;
  entry.reserve(sequence.size() + 1);
  entry.push_back(std::move(sequence.front())); // timelineID
  entry.push_back(Always("current", "boolean", "the engine's current timeline (searched first)"));
  std::move(sequence.begin() + 1, sequence.end(), std::back_inserter(entry));
  return entry;
}

std::vector<Method> BuildMethods() {
  const TimelineScanRange scanDefaults;
  return {
      {"version",
       "the engine's version",
       {},
       {Always("version", "string", "e.g. \"1.2.4\"")},
       VersionMethod},
      {"protocol.describe",
       "this description",
       {},
       {Always("protocol", "integer", "the protocol's version"),
        Always("subprotocol", "string", "the WebSocket subprotocol that selects it"),
        Always("engineVersion", "string", "the engine's version"),
        Always("types", "object", "each value type with its meaning"),
        ListOf("ops", "object", "the messages"), ListOf("methods", "object", "the methods"),
        ListOf("errors", "object", "the error codes"), ListOf("topics", "object", "the topics"),
        ListOf("closeCodes", "object", "the close codes"),
        Always("protocol1", "object", "the text protocol's commands")},
       DescribeMethod},
      {"info",
       "the engine's self-description and the protocols a connection made now is admitted to",
       {},
       Appended(InfoMembers(),
                {ListOf("protocols", "integer",
                        "the protocols admitted now: [1,2], or [2] when the text protocol is "
                        "refused (none when the settings are broken)"),
                 OrNull("listen", "string",
                        "the address the server is bound to now: \"127.0.0.1\", another "
                        "address beside it, or \"0.0.0.0\" (every interface); null while "
                        "nothing is bound"),
                 OrNull("port", "integer",
                        "the port the server is bound to now; null while nothing is bound")}),
       InfoMethod},
      {"commands.list",
       "the editor's commands, texts exact; an entry the host cannot describe is left out",
       {},
       {ListOf("commands", "object", "the commands in the host's order",
               {Always("id", "string", "what commands.run takes"),
                Always("category", "string", "the command's category"),
                Always("name", "string", "the command's name"),
                Always("description", "string", "the command's description")})},
       CommandsListMethod},
      {"commands.run",
       "runs an editor command the host lists",
       {{"command", ParamType::String, kRequired, "the command's id, as commands.list gives it"},
        {"category", ParamType::String, kOptional, "the command's category", ""}},
       {Always("command", "string", "the command run"),
        Always("category", "string", "its category")},
       CommandsRunMethod},
      {"multicam.setAngle",
       "switches the multicam angle with the editor's camera command (acts where the editor's "
       "focus is)",
       {{"angle", ParamType::Integer, kRequired, "the camera", nullptr, kFirstCamera, kLastCamera}},
       {Always("angle", "integer", "the camera chosen")},
       MulticamMethod},
      {"sequence.get",
       "one sequence's timing and frame format",
       {TimelineParam("the timeline; default: the engine's current one, else the first known")},
       SequenceMembers(),
       SequenceMethod},
      {"sequences.list",
       "every timeline the engine knows (scanning when it knows none), in its search order",
       {},
       {ListOf("sequences", "object", "each timeline, with null for what the host cannot describe",
               SequenceListEntry())},
       SequencesListMethod},
      {"angle.get",
       "the multicam angle playing at a time",
       {TicksParam("ticks", kRequired, "the time"), TrackParam(),
        TimelineParam(kSearchThisTimeline)},
       {OrNull("angle", "integer", "the angle, 1 or more; null when none is found"), AnsweredBy()},
       AngleMethod},
      {"angle.atMarker",
       "the multicam angle at the first marker with this exact name",
       {{"name", ParamType::String, kRequired, "the marker's name, compared exactly"},
        TrackParam()},
       {OrNull("angle", "integer", "the angle, 1 or more; null when none is found"), MarkerFound()},
       AngleAtMarkerMethod},
      {"clip.size",
       "the source frame size of the clip at a time",
       {TicksParam("ticks", kRequired, "the time"),
        {"endTicks", ParamType::Ticks, kOptional,
         "the clip's end, which a clip starting at ticks must reach; -1: none", -1},
        TrackParam(),
        TimelineParam(kSearchThisTimeline)},
       FrameSizeMembers(),
       ClipSizeMethod},
      {"clip.sizeAtMarker",
       "the source frame size of the clip at the first marker with this exact name",
       {{"name", ParamType::String, kRequired, "the marker's name, compared exactly"},
        TrackParam()},
       Appended(FrameSizeMembers(), {MarkerFound()}),
       ClipSizeAtMarkerMethod},
      {"clip.transitions",
       "the transitions at the two ends of the clip from start to end on a track; not_found "
       "when no timeline searched holds such a clip",
       // A clip ends after it starts: no start lies on the last tick, no end on the first.
       {{"start", ParamType::Ticks, kRequired, "the clip's start, before its end", nullptr,
         std::nullopt, std::numeric_limits<std::int64_t>::max() - 1},
        {"end", ParamType::Ticks, kRequired, "the clip's end, after its start", nullptr,
         std::numeric_limits<std::int64_t>::min() + 1},
        {"track", ParamType::Integer, kRequired, "the host's track index; -1: any track"},
        TimelineParam(kSearchThisTimeline)},
       {TransitionSideMember("in", "the transition at the clip's start; null when none is there"),
        TransitionSideMember("out", "the transition at the clip's end; null when none is there"),
        Always("timelineID", "timelineID", "the timeline that holds the clip")},
       TransitionsMethod},
      {"markers.list",
       "one timeline's markers in index order",
       {TimelineParam("the timeline; default: the one sequence.get describes")},
       {OrNull("timelineID", "timelineID", "the timeline listed; null when the engine knows none"),
        ListOf("markers", "object", "the markers; empty when there is no timeline",
               {Always("index", "integer", "the host's marker index"),
                OrNull("name", "string", "the marker's name, exact"),
                OrNull("ticks", "ticks", "the marker's time")})},
       MarkersListMethod},
      {"transport.get",
       "the transport state the host reported last",
       {},
       {Always("playing", "boolean", "the transport plays"),
        Always("paused", "boolean", "the transport is paused"),
        Always("recording", "boolean", "the transport records"),
        Always("rewind", "boolean", "the transport rewinds"),
        Always("fastForward", "boolean", "the transport fast-forwards"),
        OrNull("timecode", "object",
               "the last timecode the host reported while a client subscribed; null when none",
               {Always("text", "string", "the timecode text"),
                Always("displayMode", "integer", "the host's display mode"),
                Always("ageMs", "integer", "milliseconds since the host reported it")})},
       TransportMethod},
      {"vitals.get",
       "the vitals record built now; what only a comparison with an earlier record tells, and "
       "what the host cannot give, is null",
       {},
       VitalsMembers(true),
       VitalsMethod},
      {"playhead.get",
       "the playhead now: the last timecode, its position and the multicam angle there, "
       "derived on the connection's timeline; the timecode is null while no connection holds "
       "the playhead topic",
       {TimelineParam("derive on this timeline instead")},
       PlayheadMembers(),
       PlayheadMethod},
      {"timeline.pin",
       "pins the timeline this connection means: each method that takes timeline uses it when "
       "the param is absent, and the playhead and sequence topics derive on it; lasts as long "
       "as the connection (a timeline the host no longer knows is unpinned)",
       {{"timeline", ParamType::TimelineId, kRequired, "the timeline; null unpins", nullptr, 0,
         std::nullopt, true}},
       {OrNull("timelineID", "timelineID", "the timeline pinned; null when none is")},
       TimelinePinMethod},
      {"debug.dumpAngle",
       "the render trees at a time, as text lines (their wording may change between versions)",
       {TicksParam("ticks", kRequired, "the time"), TrackParam(),
        TimelineParam("dump this timeline alone, leaving the engine's search order as it was")},
       {ListOf("lines", "string", "the dump's lines")},
       DumpAngleMethod},
      {"debug.timelineScan",
       "probes a range of timeline ids and reports how the answering ids group",
       {{"from", ParamType::Integer, kOptional, "the first id", scanDefaults.from},
        {"to", ParamType::Integer, kOptional, "the last id", scanDefaults.to},
        {"budgetMs", ParamType::Integer, kOptional, "the scan's time budget", scanDefaults.budgetMs,
         0}},
       TimelineScanMembers(),
       TimelineScanMethod},
  };
}

std::int64_t LowestOf(const MethodParam& param) {
  if (param.minimum) return *param.minimum;
  if (param.type == ParamType::Ticks) return std::numeric_limits<std::int64_t>::min();
  return std::numeric_limits<std::int32_t>::min();
}

std::int64_t HighestOf(const MethodParam& param) {
  if (param.maximum) return *param.maximum;
  if (param.type == ParamType::Ticks) return std::numeric_limits<std::int64_t>::max();
  return std::numeric_limits<std::int32_t>::max();
}

// Checks one param against its row; the first fault stays in `reader`.
void CheckParam(RequestParams& reader, const MethodParam& param) {
  if (param.nullable && reader.IsNull(param.name)) return;
  if (param.type == ParamType::String)
    reader.String(param.name, param.presence);
  else
    reader.Int64(param.name, param.presence, LowestOf(param), HighestOf(param));
}

} // namespace

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = BuildMethods();
  return methods;
}

Outcome RunMethod(EngineParts& engine, std::string_view name, Json params, ResultForm form) {
  for (const Method& method : Methods()) {
    if (method.name != name) continue;
    std::vector<std::string_view> known;
    for (const MethodParam& param : method.params)
      known.push_back(param.name);
    RequestParams reader(params);
    reader.RejectUnknown(known);
    for (const MethodParam& param : method.params)
      CheckParam(reader, param);
    if (reader.Error()) return *reader.Error();
    for (const MethodParam& param : method.params)
      if (!param.defaultValue.is_null() && !params.contains(param.name))
        params[std::string(param.name)] = param.defaultValue;
    Outcome outcome = method.handler(engine, reader);
    if (const auto* written = std::get_if<WrittenResult>(&outcome);
        written != nullptr && form == ResultForm::Document)
      return Json::parse(written->text);
    return outcome;
  }
  return ResponseError{ErrorCode::UnknownMethod, "unknown method " + Json(std::string(name)).dump(),
                       std::nullopt, std::nullopt};
}

} // namespace ZYL
