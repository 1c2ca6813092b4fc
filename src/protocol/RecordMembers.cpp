#include "protocol/RecordMembers.h"

#include "vitals/VitalsData.h"

#include <algorithm>

namespace ZYL {

namespace {

bool IsUnknownVital(std::string_view name) {
  const std::vector<UnknownVital>& unknown = UnknownVitals();
  return std::any_of(unknown.begin(), unknown.end(),
                     [name](const UnknownVital& vital) { return vital.member == name; });
}

// Null in a pushed record: a value the host did not give, and the speed without a timecode.
bool IsNullableInPush(std::string_view name) {
  const std::vector<VitalStandIn>& standIns = VitalsStandIns();
  return name == "speed" ||
         std::any_of(standIns.begin(), standIns.end(),
                     [name](const VitalStandIn& standIn) { return standIn.member == name; });
}

} // namespace

std::vector<Member> SequenceMembers() {
  return {
      Always("timelineID", "timelineID", "the timeline described"),
      OrNull("ticksPerSecond", "ticks", "the host's ticks per second"),
      OrNull("ticksPerFrame", "ticks", "the frame duration in ticks"),
      OrNull("fps", "number", "frames per second, to three decimals"),
      OrNull("dropFrame", "boolean", "whether the timecode is drop-frame"),
      OrNull("width", "integer", "frame width in pixels"),
      OrNull("height", "integer", "frame height in pixels"),
      OrNull("parNum", "integer", "pixel aspect ratio numerator"),
      OrNull("parDen", "integer", "pixel aspect ratio denominator"),
      OrNull("zeroPointTicks", "ticks", "the sequence's start time in ticks"),
  };
}

const std::vector<UnknownVital>& UnknownVitals() {
  static const std::vector<UnknownVital> unknown = [] {
    std::vector<UnknownVital> list = {
        {"speed", nullptr}, {"cutsChanged", nullptr}, {"edited", nullptr}, {"seqChanged", nullptr}};
    for (const VitalStandIn& standIn : VitalsStandIns())
      list.push_back({standIn.member, standIn.standIn});
    return list;
  }();
  return unknown;
}

std::vector<Member> VitalsMembers(bool builtNow) {
  std::vector<Member> members = {
      Always("v", "string", "the engine's version"),
      Always("playing", "boolean", "the transport plays"),
      Always("idleSec", "integer", "seconds since the user's last input (0 when unknown)"),
      Always("paused", "boolean", "the transport is paused"),
      Always("recording", "boolean", "the transport records"),
      Always("rewind", "boolean", "the transport rewinds"),
      Always("ffwd", "boolean", "the transport fast-forwards"),
      Always("speed", "number",
             "seconds of timecode per second of wall time since the previous record"),
      Always("timecode", "string", "the last timecode text the host reported (empty: none)"),
      Always("displayMode", "integer", "the host's timecode display mode"),
      Always("cuts", "integer", "segments of the sequence on screen (-1: unknown)"),
      Always("cutsChanged", "boolean", "the cut count changed since the previous record"),
      Always("edited", "boolean", "the sequence's segments changed since the previous record"),
      Always("seqChanged", "boolean", "another sequence is on screen than at the previous record"),
      Always("markers", "integer", "markers in the known sequences and the host's (-1: unknown)"),
      Always("tracks", "integer", "the host's track count (-1: unknown)"),
      Always("audioPeakDb", "number",
             "the loudest channel peak in dB while playing (-999.0: none)"),
      Always("soloActive", "boolean", "a track is soloed"),
  };
  for (Member& member : members)
    member.nullable = builtNow ? IsUnknownVital(member.name) : IsNullableInPush(member.name);
  return members;
}

std::vector<Member> PlayheadMembers() {
  return {
      OrNull("timecode", "string",
             "the timecode text the host reported last; null while no connection holds the "
             "playhead topic (the engine stores timecodes only then)"),
      OrNull("displayMode", "integer", "the host's display mode of that text; null with it"),
      OrNull("timelineID", "timelineID",
             "the timeline derived on: the param, else the connection's pin, else the one "
             "sequence.get describes; null when none is known"),
      Derived("ticks", "ticks",
              "derived: the text read as SMPTE timecode (HH:MM:SS:FF; ';' or '.' before the "
              "frames marks drop-frame) at the sequence's rate, minus its zero point; null when "
              "the text is no such timecode, the rate is unknown or the position negative"),
      Derived("angle", "integer",
              "derived: the multicam angle at ticks on that timeline (as angle.get with track "
              "-1); null when none is there or ticks is null"),
      OrNull("ageMs", "integer", "milliseconds since the host reported the text; null with it"),
  };
}

std::vector<Member> TransportEventMembers() {
  Member type = Always("type", "string", "what changed");
  type.values = {"stop", "play", "record", "rewind", "ffwd", "pause"};
  return {type, Always("on", "boolean", "the state the host reported")};
}

std::vector<Member> MarkerEventMembers() {
  Member type = Always("type", "string", "changed: one marker; rebuild: the whole list");
  type.values = {"changed", "rebuild"};
  return {type, Always("index", "integer", "the marker changed; present only when type is changed"),
          Always("count", "integer", "the host's marker count (-1: unknown)")};
}

std::vector<Member> InfoMembers() {
  return {
      Always("engine", "string", "\"ZYL Engine\""),
      Always("version", "string", "the engine's version"),
      Always("api", "integer", "the text protocol's version"),
      Always("platform", "string", "the platform the engine was made for"),
      ListOf("commands", "string", "the text protocol's commands"),
      ListOf("unstable", "string", "text commands whose output may change between versions"),
      ListOf("events", "string", "the pushes the text protocol sends"),
      Always("updateUrl", "string", "where the latest version is described"),
      Always("downloadUrl", "string", "where the engine is downloaded"),
      Always("docsUrl", "string", "the documentation"),
      Always("licenseUrl", "string", "the licence"),
      Always("originPolicy", "string", "how page origins are admitted"),
      Always("telemetry", "boolean", "whether the engine reports anything anywhere (never)"),
  };
}

std::vector<Member> TimelineScanMembers() {
  return {
      Always("from", "integer", "the first id probed"),
      Always("to", "integer", "the last id asked for"),
      Always("scanned", "integer", "ids probed"),
      Always("elapsedMs", "integer", "the scan's duration"),
      Always("budgetHit", "boolean", "the scan stopped at its time budget"),
      Always("hits", "integer", "ids that are timelines"),
      Always("groupsTotal", "integer", "runs of consecutive timeline ids"),
      ListOf("groups", "object", "the first runs",
             {Always("a", "integer", "first id"), Always("b", "integer", "last id"),
              Always("n", "integer", "ids in the run"),
              Always("segs", "integer", "segments of the run's first timeline"),
              OrNull("markers", "integer", "markers of the run's first timeline")}),
      ListOf("marked", "object", "the first timelines that have markers",
             {Always("id", "integer", "timeline id"),
              Always("markers", "integer", "its marker count")}),
  };
}

} // namespace ZYL
