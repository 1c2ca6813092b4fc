#include "Project.h"

#include "Simulator.h"
#include "Utf.h"

#include <algorithm>
#include <limits>
#include <set>

namespace zylsim {

using nlohmann::json;

const std::vector<OfferedSuite>& OfferedSuites() {
  static const std::vector<OfferedSuite> suites = {
      {SuiteId::String, "HOSTSDK StringSuite", 1},
      {SuiteId::PluginSuites, "Plugin Suites Suite", 2},
      {SuiteId::SurfaceHost, "HOSTSDK ControlSurfaceHost Suite", 1},
      {SuiteId::HostTransport, "HOSTSDK ControlSurfaceHost Transport Suite", 1},
      {SuiteId::HostCommand, "HOSTSDK ControlSurfaceHost Command Suite", 1},
      {SuiteId::HostMixer, "HOSTSDK ControlSurfaceHost Mixer Suite", 1},
      {SuiteId::HostColor, "HOSTSDK ControlSurfaceHost Color Suite", 1},
      {SuiteId::HostMarker, "HOSTSDK ControlSurfaceHost Marker Suite", 1},
      {SuiteId::VideoSegment, "Media Video Segment Suite", 9},
      {SuiteId::SequenceInfo, "Media Sequence Info Suite", 9},
      {SuiteId::Time, "Host Time Suite", 1},
      {SuiteId::SequenceMarker, "Marker Suite", 1},
      {SuiteId::SequenceMarker, "Marker Suite", 2},
      {SuiteId::SequenceMarker, "Marker Suite", 3},
  };
  return suites;
}

std::optional<SuiteId> SuiteIdByName(const std::string& name) {
  for (const OfferedSuite& suite : OfferedSuites())
    if (name == suite.name) return suite.id;
  return std::nullopt;
}

const Segment* Timeline::SegmentAt(std::int64_t time) const {
  for (const Segment& segment : segments)
    if (segment.start <= time && time < segment.end) return &segment;
  return nullptr;
}

const Timeline* Project::FindTimeline(std::int32_t id) const {
  const auto found = std::lower_bound(timelines.begin(), timelines.end(), id,
                                      [](const Timeline& t, std::int32_t v) { return t.id < v; });
  return found != timelines.end() && found->id == id ? &*found : nullptr;
}

bool Project::Refuses(const char* name, std::int32_t version) const {
  return std::any_of(
      unavailableSuites.begin(), unavailableSuites.end(), [&](const SuiteRefusal& refusal) {
        return refusal.name == name && (!refusal.version || *refusal.version == version);
      });
}

std::optional<hostsdk::ErrorCode> Project::Failure(SuiteId suite, std::int32_t position) const {
  for (const FailingCall& call : failingCalls)
    if (call.suite == suite && call.position == position) return call.status;
  return std::nullopt;
}

namespace {

// Nodes nested deeper than this would only exhaust the stack of whoever walks them.
constexpr int kMaxNodeDepth = 200;

[[noreturn]] void Fail(const std::string& where, const std::string& problem) {
  throw ProjectError(where + ": " + problem);
}

template <typename Integer> Integer ReadInteger(const json& value, const std::string& where) {
  if (!value.is_number_integer()) Fail(where, "expected an integer");
  if (value.is_number_unsigned()) {
    const auto v = value.get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(std::numeric_limits<Integer>::max()))
      Fail(where, "out of range");
    return static_cast<Integer>(v);
  }
  const auto v = value.get<std::int64_t>();
  if (v < static_cast<std::int64_t>(std::numeric_limits<Integer>::min()) ||
      (v > 0 && static_cast<std::uint64_t>(v) >
                    static_cast<std::uint64_t>(std::numeric_limits<Integer>::max())))
    Fail(where, "out of range");
  return static_cast<Integer>(v);
}

// A value the editor only ever gives positive.
template <typename Integer>
Integer ReadPositive(const json& value, const std::string& where, Strictness strictness) {
  const auto v = ReadInteger<Integer>(value, where);
  if (strictness == Strictness::EditorValues && v <= 0) Fail(where, "must be positive");
  return v;
}

template <typename Integer>
Integer ReadCount(const json& value, const std::string& where, Strictness strictness) {
  const auto v = ReadInteger<Integer>(value, where);
  if (strictness == Strictness::EditorValues && v < 0) Fail(where, "must not be negative");
  return v;
}

bool ReadBool(const json& value, const std::string& where) {
  if (!value.is_boolean()) Fail(where, "expected true or false");
  return value.get<bool>();
}

std::string ReadString(const json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "expected a string");
  return value.get<std::string>();
}

const json& ReadArray(const json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "expected an array");
  return value;
}

// Checks that `object` is an object holding only `allowed` members.
void CheckMembers(const json& object, const std::string& where,
                  std::initializer_list<const char*> allowed) {
  if (!object.is_object()) Fail(where, "expected an object");
  for (const auto& item : object.items()) {
    const std::string& key = item.key();
    const bool known =
        std::any_of(allowed.begin(), allowed.end(), [&](const char* name) { return key == name; });
    if (!known) Fail(where, "unknown member \"" + key + "\"");
  }
}

Node ReadNode(const json& source, const std::string& where, int depth) {
  if (depth > kMaxNodeDepth) Fail(where, "nodes nested too deeply");
  CheckMembers(source, where, {"kind", "flags", "props", "inputs", "operators"});
  Node node;
  if (source.contains("kind")) node.kind = ReadString(source["kind"], where + ".kind");
  if (source.contains("flags"))
    node.flags = ReadInteger<std::int32_t>(source["flags"], where + ".flags");
  if (source.contains("props")) {
    if (!source["props"].is_object()) Fail(where + ".props", "expected an object");
    for (const auto& [key, value] : source["props"].items()) {
      if (value.is_null())
        node.props.emplace(key, std::nullopt);
      else
        node.props.emplace(key, ReadString(value, where + ".props." + key));
    }
  }
  if (source.contains("inputs")) {
    const json& inputs = ReadArray(source["inputs"], where + ".inputs");
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::string at = where + ".inputs[" + std::to_string(i) + "]";
      CheckMembers(inputs[i], at, {"offset", "node"});
      if (!inputs[i].contains("node")) Fail(at, "missing \"node\"");
      NodeInput input;
      if (inputs[i].contains("offset"))
        input.offset = ReadInteger<std::int64_t>(inputs[i]["offset"], at + ".offset");
      input.node = ReadNode(inputs[i]["node"], at + ".node", depth + 1);
      node.inputs.push_back(std::move(input));
    }
  }
  if (source.contains("operators")) {
    const json& operators = ReadArray(source["operators"], where + ".operators");
    for (std::size_t i = 0; i < operators.size(); ++i)
      node.operators.push_back(
          ReadNode(operators[i], where + ".operators[" + std::to_string(i) + "]", depth + 1));
  }
  return node;
}

SequenceSettings ReadSequence(const json& source, const std::string& where, Strictness strictness) {
  CheckMembers(source, where, {"ticksPerFrame", "rect", "par", "dropFrame", "zeroPoint"});
  SequenceSettings sequence;
  if (source.contains("ticksPerFrame"))
    sequence.ticksPerFrame =
        ReadPositive<std::int64_t>(source["ticksPerFrame"], where + ".ticksPerFrame", strictness);
  if (source.contains("rect")) {
    const json& rect = ReadArray(source["rect"], where + ".rect");
    if (rect.size() != 4) Fail(where + ".rect", "expected four integers");
    sequence.rect = {ReadInteger<std::int32_t>(rect[0], where + ".rect[0]"),
                     ReadInteger<std::int32_t>(rect[1], where + ".rect[1]"),
                     ReadInteger<std::int32_t>(rect[2], where + ".rect[2]"),
                     ReadInteger<std::int32_t>(rect[3], where + ".rect[3]")};
    if (strictness == Strictness::EditorValues) {
      if (sequence.rect.right < sequence.rect.left)
        Fail(where + ".rect[2]", "the right edge precedes the left edge");
      if (sequence.rect.bottom < sequence.rect.top)
        Fail(where + ".rect[3]", "the bottom edge precedes the top edge");
    }
  }
  if (source.contains("par")) {
    const json& par = ReadArray(source["par"], where + ".par");
    if (par.size() != 2) Fail(where + ".par", "expected two integers");
    sequence.parNumerator = ReadInteger<std::uint32_t>(par[0], where + ".par[0]");
    sequence.parDenominator = ReadInteger<std::uint32_t>(par[1], where + ".par[1]");
  }
  if (source.contains("dropFrame"))
    sequence.dropFrame = ReadBool(source["dropFrame"], where + ".dropFrame");
  if (source.contains("zeroPoint"))
    sequence.zeroPoint = ReadInteger<std::int64_t>(source["zeroPoint"], where + ".zeroPoint");
  return sequence;
}

Marker ReadMarker(const json& source, const std::string& where) {
  CheckMembers(source, where, {"name", "time"});
  Marker marker;
  if (source.contains("name") && !source["name"].is_null())
    marker.name = Utf8ToUtf16(ReadString(source["name"], where + ".name"));
  if (source.contains("time") && !source["time"].is_null())
    marker.time = ReadInteger<std::int64_t>(source["time"], where + ".time");
  return marker;
}

Segment ReadSegment(const json& source, const std::string& where) {
  CheckMembers(source, where, {"start", "end", "offset", "root"});
  if (!source.contains("start") || !source.contains("end"))
    Fail(where, "a segment needs \"start\" and \"end\"");
  Segment segment;
  segment.start = ReadInteger<std::int64_t>(source["start"], where + ".start");
  segment.end = ReadInteger<std::int64_t>(source["end"], where + ".end");
  if (segment.end <= segment.start) Fail(where + ".end", "\"end\" must come after \"start\"");
  segment.offset = source.contains("offset")
                       ? ReadInteger<std::int64_t>(source["offset"], where + ".offset")
                       : segment.start;
  if (source.contains("root")) segment.root = ReadNode(source["root"], where + ".root", 0);
  return segment;
}

// 37 bytes that follow the segments' content and the timeline's edit revision.
std::array<std::uint8_t, hostsdk::kSegmentsHashSize> SegmentsHash(const std::string& content,
                                                                  std::uint64_t revision) {
  std::uint64_t state = 0xCBF29CE484222325ull; // FNV-1a
  const auto mix = [&state](std::uint8_t byte) {
    state ^= byte;
    state *= 0x100000001B3ull;
  };
  for (const char c : content)
    mix(static_cast<std::uint8_t>(c));
  for (int shift = 0; shift < 64; shift += 8)
    mix(static_cast<std::uint8_t>(revision >> shift));
  std::array<std::uint8_t, hostsdk::kSegmentsHashSize> hash{};
  for (std::uint8_t& byte : hash) { // splitmix64 spreads the state over every byte
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    byte = static_cast<std::uint8_t>(z ^ (z >> 31));
  }
  return hash;
}

Timeline ReadTimeline(const json& source, const std::string& where, const EditRevisions& revisions,
                      Strictness strictness) {
  CheckMembers(source, where, {"id", "sequence", "markers", "segments"});
  if (!source.contains("id")) Fail(where, "a timeline needs an \"id\"");
  Timeline timeline;
  timeline.id = ReadInteger<std::int32_t>(source["id"], where + ".id");
  if (source.contains("sequence") && !source["sequence"].is_null())
    timeline.sequence = ReadSequence(source["sequence"], where + ".sequence", strictness);
  if (source.contains("markers")) {
    const json& markers = ReadArray(source["markers"], where + ".markers");
    for (std::size_t i = 0; i < markers.size(); ++i)
      timeline.markers.push_back(
          ReadMarker(markers[i], where + ".markers[" + std::to_string(i) + "]"));
  }
  std::string content = "[]";
  if (source.contains("segments")) {
    const json& segments = ReadArray(source["segments"], where + ".segments");
    if (segments.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      Fail(where + ".segments", "too many segments");
    for (std::size_t i = 0; i < segments.size(); ++i)
      timeline.segments.push_back(
          ReadSegment(segments[i], where + ".segments[" + std::to_string(i) + "]"));
    content = segments.dump();
  }
  const auto revision = revisions.find(timeline.id);
  timeline.segmentsHash = SegmentsHash(content, revision == revisions.end() ? 0 : revision->second);
  return timeline;
}

Mixer ReadMixer(const json& source, const std::string& where, Strictness strictness) {
  CheckMembers(source, where, {"tracks", "meterSource", "peaksDb"});
  Mixer mixer;
  if (source.contains("tracks"))
    mixer.tracks = ReadCount<std::int32_t>(source["tracks"], where + ".tracks", strictness);
  if (source.contains("meterSource"))
    mixer.meterSource = ReadInteger<std::int32_t>(source["meterSource"], where + ".meterSource");
  if (source.contains("peaksDb")) {
    const json& peaks = ReadArray(source["peaksDb"], where + ".peaksDb");
    for (std::size_t i = 0; i < peaks.size(); ++i) {
      if (!peaks[i].is_number())
        Fail(where + ".peaksDb[" + std::to_string(i) + "]", "expected a number");
      mixer.peaksDb.push_back(peaks[i].get<float>());
    }
  }
  return mixer;
}

std::optional<CommandStrings> ReadCommand(const json& source, const std::string& where) {
  if (source.is_null()) return std::nullopt;
  if (!source.is_array() || source.size() != 4) Fail(where, "expected four strings or null");
  CommandStrings strings;
  for (std::size_t i = 0; i < 4; ++i)
    strings[i] = ReadString(source[i], where + "[" + std::to_string(i) + "]");
  return strings;
}

SuiteRefusal ReadRefusal(const json& source, const std::string& where) {
  const std::string text = ReadString(source, where);
  const std::size_t at = text.rfind('@');
  if (at != std::string::npos && at + 1 < text.size() &&
      std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 1, text.end(),
                  [](char c) { return c >= '0' && c <= '9'; }) &&
      text.size() - at - 1 <= 9)
    return {text.substr(0, at), std::stoi(text.substr(at + 1))};
  return {text, std::nullopt};
}

FailingCall ReadFailingCall(const json& source, const std::string& where) {
  CheckMembers(source, where, {"suite", "position", "status"});
  if (!source.contains("suite") || !source.contains("position") || !source.contains("status"))
    Fail(where, "needs \"suite\", \"position\" and \"status\"");
  const std::string name = ReadString(source["suite"], where + ".suite");
  const std::optional<SuiteId> suite = SuiteIdByName(name);
  if (!suite) Fail(where + ".suite", "no host suite is called \"" + name + "\"");
  const auto position = ReadInteger<std::int32_t>(source["position"], where + ".position");
  if (position < 0) Fail(where + ".position", "must not be negative");
  // a status may be written as the unsigned value of its four characters
  const json& status = source["status"];
  const hostsdk::ErrorCode code =
      status.is_number_unsigned() && status.get<std::uint64_t>() <= 0xFFFFFFFFull
          ? static_cast<hostsdk::ErrorCode>(status.get<std::uint32_t>())
          : ReadInteger<std::int32_t>(status, where + ".status");
  return {*suite, position, code};
}

constexpr const char* kProjectMembers[] = {
    "ticksPerSecond", "hostMarkerCount",   "solo",         "mixer",       "commands",
    "timelines",      "unavailableSuites", "failingCalls", "probeDelayNs"};

} // namespace

bool IsProjectMember(const std::string& key) {
  return std::any_of(std::begin(kProjectMembers), std::end(kProjectMembers),
                     [&](const char* name) { return key == name; });
}

Project ParseProject(const json& source, const EditRevisions& revisions, Strictness strictness) {
  if (!source.is_object()) throw ProjectError("project: expected a JSON object");
  for (const auto& [key, unused] : source.items())
    if (!IsProjectMember(key)) Fail("project", "unknown member \"" + key + "\"");
  Project project;
  if (source.contains("ticksPerSecond"))
    project.ticksPerSecond =
        ReadPositive<std::int64_t>(source["ticksPerSecond"], "ticksPerSecond", strictness);
  if (source.contains("hostMarkerCount"))
    project.hostMarkerCount =
        ReadCount<std::int32_t>(source["hostMarkerCount"], "hostMarkerCount", strictness);
  if (source.contains("solo")) project.solo = ReadBool(source["solo"], "solo");
  if (source.contains("mixer") && !source["mixer"].is_null())
    project.mixer = ReadMixer(source["mixer"], "mixer", strictness);
  if (source.contains("commands")) {
    const json& commands = ReadArray(source["commands"], "commands");
    for (std::size_t i = 0; i < commands.size(); ++i)
      project.commands.push_back(ReadCommand(commands[i], "commands[" + std::to_string(i) + "]"));
  }
  if (source.contains("timelines")) {
    const json& timelines = ReadArray(source["timelines"], "timelines");
    std::set<std::int32_t> ids;
    for (std::size_t i = 0; i < timelines.size(); ++i) {
      const std::string where = "timelines[" + std::to_string(i) + "]";
      Timeline timeline = ReadTimeline(timelines[i], where, revisions, strictness);
      if (!ids.insert(timeline.id).second)
        Fail(where + ".id", "timeline " + std::to_string(timeline.id) + " is listed twice");
      project.timelines.push_back(std::move(timeline));
    }
    std::sort(project.timelines.begin(), project.timelines.end(),
              [](const Timeline& a, const Timeline& b) { return a.id < b.id; });
  }
  if (source.contains("unavailableSuites")) {
    const json& refusals = ReadArray(source["unavailableSuites"], "unavailableSuites");
    for (std::size_t i = 0; i < refusals.size(); ++i)
      project.unavailableSuites.push_back(
          ReadRefusal(refusals[i], "unavailableSuites[" + std::to_string(i) + "]"));
  }
  if (source.contains("failingCalls")) {
    const json& calls = ReadArray(source["failingCalls"], "failingCalls");
    for (std::size_t i = 0; i < calls.size(); ++i)
      project.failingCalls.push_back(
          ReadFailingCall(calls[i], "failingCalls[" + std::to_string(i) + "]"));
  }
  if (source.contains("probeDelayNs")) {
    project.probeDelayNs = ReadInteger<std::int64_t>(source["probeDelayNs"], "probeDelayNs");
    if (project.probeDelayNs < 0) Fail("probeDelayNs", "must not be negative");
  }
  return project;
}

} // namespace zylsim
