// The project the simulated editor shows, parsed once into an immutable model. Every suite
// answer is read from one of these; a change to the project builds a new one.
#pragma once

#include "hostsdk/MediaSuites.h"
#include "hostsdk/Types.h"

#include <array>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace zylsim {

// Every host suite the simulator offers, for unavailableSuites and failingCalls.
enum class SuiteId {
  String,
  PluginSuites,
  SurfaceHost,
  HostTransport,
  HostCommand,
  HostMixer,
  HostColor,
  HostMarker,
  VideoSegment,
  SequenceInfo,
  Time,
  SequenceMarker,
};

struct OfferedSuite {
  SuiteId id;
  const char* name;
  std::int32_t version;
};

// The suites by name and version; "Marker Suite" appears once per version.
const std::vector<OfferedSuite>& OfferedSuites();
std::optional<SuiteId> SuiteIdByName(const std::string& name);

struct NodeInput;

struct Node {
  std::optional<std::string> kind;
  std::int32_t flags = 0;
  // A key whose value is JSON null answers with a null pointer.
  std::map<std::string, std::optional<std::string>, std::less<>> props;
  std::vector<NodeInput> inputs;
  std::vector<Node> operators;
};

struct NodeInput {
  std::int64_t offset = 0;
  Node node;
};

struct Segment {
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::int64_t offset = 0;
  std::optional<Node> root;
};

struct SequenceSettings {
  std::int64_t ticksPerFrame = 8475667200;
  hostsdk::FrameRect rect{0, 0, 1920, 1080};
  std::uint32_t parNumerator = 1;
  std::uint32_t parDenominator = 1;
  bool dropFrame = false;
  std::int64_t zeroPoint = 0;
};

struct Marker {
  std::optional<std::u16string> name;
  // The same text, zero-terminated, kept by the project store for the simulator's whole life:
  // the Marker Suite hands this pointer out and the project may be replaced meanwhile.
  const char16_t* lastingName = nullptr;
  std::optional<std::int64_t> time;
};

struct Timeline {
  std::int32_t id = 0;
  std::optional<SequenceSettings> sequence;
  std::vector<Marker> markers;
  std::vector<Segment> segments;
  std::array<std::uint8_t, hostsdk::kSegmentsHashSize> segmentsHash{};

  // The segment with start <= time < end, the first one listed when several overlap.
  const Segment* SegmentAt(std::int64_t time) const;
};

struct Mixer {
  std::int32_t tracks = 0;
  std::int32_t meterSource = 0;
  std::vector<float> peaksDb;
};

using CommandStrings = std::array<std::string, 4>;

struct SuiteRefusal {
  std::string name;
  std::optional<std::int32_t> version; // none: every version
};

struct FailingCall {
  SuiteId suite;
  std::int32_t position;
  hostsdk::ErrorCode status;
};

struct Project {
  std::int64_t ticksPerSecond = 254016000000;
  std::int32_t hostMarkerCount = 0;
  bool solo = false;
  std::optional<Mixer> mixer;
  std::vector<std::optional<CommandStrings>> commands;
  std::vector<Timeline> timelines; // ascending ids
  std::vector<SuiteRefusal> unavailableSuites;
  std::vector<FailingCall> failingCalls;
  std::int64_t probeDelayNs = 0;

  const Timeline* FindTimeline(std::int32_t id) const;
  bool Refuses(const char* name, std::int32_t version) const;
  std::optional<hostsdk::ErrorCode> Failure(SuiteId suite, std::int32_t position) const;
};

// Edits the segments hash is salted with, per timeline id, so that an edit changes the
// hash while the segments themselves stay as they are.
using EditRevisions = std::map<std::int32_t, std::uint64_t>;

// What the reader refuses besides a malformed shape. A project file is read strictly: values
// no editor gives (a tick rate or frame duration that is not positive, a rectangle whose right
// or bottom precedes its left or top, a negative count) are refused there, naming their path.
// A project built in memory or changed with `set` may model such a host, so that the engine's
// handling of odd host answers can still be exercised.
enum class Strictness { WellFormed, EditorValues };

// Builds the model; throws ProjectError naming the JSON path of the offending member.
Project ParseProject(const nlohmann::json& source, const EditRevisions& revisions,
                     Strictness strictness = Strictness::WellFormed);

// The top-level members a project may have.
bool IsProjectMember(const std::string& key);

} // namespace zylsim
