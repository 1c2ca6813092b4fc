// The built-in project: three sequences that give every timeline query something to find.
#include "Simulator.h"

#include <string>
#include <vector>

namespace zylsim {

namespace {

using nlohmann::json;

constexpr std::int64_t kTicksPerSecond = 254016000000;
constexpr std::int64_t kFrame2997 = 8475667200; // 29.97 fps
constexpr std::int64_t kFrame25 = 10160640000;
constexpr std::int64_t kFrame23976 = 10594584000;

std::int64_t Seconds(double seconds) {
  return static_cast<std::int64_t>(seconds * static_cast<double>(kTicksPerSecond));
}

json Media(int width, int height) {
  return {{"kind", "RenderableNodeMediaImpl"},
          {"props",
           {{"MediaNode::StreamFrameWidth", std::to_string(width)},
            {"MediaNode::StreamFrameHeight", std::to_string(height)}}}};
}

json Clip(int track, json media, std::int64_t sourceIn = 0) {
  return {{"kind", "RenderableNodeClipImpl"},
          {"props", {{"ClipNode::TrackID", std::to_string(track)}}},
          {"inputs", json::array({{{"offset", sourceIn}, {"node", std::move(media)}}})}};
}

// A transition node between the outgoing and the incoming clip (either may be absent).
json Transition(const std::string& matchName, std::int64_t duration, json outgoing, json incoming) {
  json inputs = json::array();
  if (!outgoing.is_null()) inputs.push_back({{"offset", 0}, {"node", std::move(outgoing)}});
  if (!incoming.is_null()) inputs.push_back({{"offset", 0}, {"node", std::move(incoming)}});
  return {{"kind", "RenderableNodeTransitionImpl"},
          {"props",
           {{"TransitionNode::TransitionMatchName", matchName},
            {"TransitionNode::TransitionDuration", std::to_string(duration)}}},
          {"inputs", inputs}};
}

json Composite(std::vector<json> layers) {
  json inputs = json::array();
  for (json& layer : layers)
    inputs.push_back({{"offset", 0}, {"node", std::move(layer)}});
  return {{"kind", "RenderableNodeCompositeImpl"}, {"flags", 1}, {"inputs", inputs}};
}

json SegmentJson(double start, double end, json root) {
  return {{"start", Seconds(start)}, {"end", Seconds(end)}, {"root", std::move(root)}};
}

json Sequence(std::int64_t ticksPerFrame, int width, int height) {
  return {{"ticksPerFrame", ticksPerFrame},
          {"rect", {0, 0, width, height}},
          {"par", {1, 1}},
          {"dropFrame", false},
          {"zeroPoint", 0}};
}

json MarkerJson(const std::string& name, double seconds) {
  return {{"name", name}, {"time", Seconds(seconds)}};
}

// A multicam source with four cameras whose selection changes at every cut.
json MulticamSource(int selected) {
  json cameras = json::array();
  const int sizes[][2] = {{1920, 1080}, {3840, 2160}, {1920, 1080}, {2560, 1440}};
  for (const auto& size : sizes)
    cameras.push_back({{"offset", 0}, {"node", Media(size[0], size[1])}});
  return {{"kind", "RenderableNodeMulticamImpl"},
          {"props", {{"MulticamNode::SelectedTrack", std::to_string(selected)}}},
          {"inputs", cameras}};
}

// A nested multicam clip showing camera `selected` (0-based), cut into a sequence at
// `sourceIn` of the nested one.
json NestedMulticam(int selected, std::int64_t sourceIn, int track) {
  json nested = Media(1920, 1080);
  nested["props"]["MediaNode::SelectedMulticamTrack"] = std::to_string(selected);
  nested["props"]["MediaNode::NestedSequenceHash"] = "5f1c9e02a7d34b6e8c0a1f2e3d4c5b6a";
  nested["inputs"] = json::array({{{"offset", 0}, {"node", MulticamSource(selected)}}});
  return Clip(track, nested, sourceIn);
}

// The main edit: clips on two tracks, a fade in, a dissolve, a wipe and a fade out, over the
// stage cameras' multicam clip on track 4, whose camera changes every few seconds (so that
// the demo's playhead always has a camera on air, and a new one soon).
json MainEdit() {
  const json shotA = Clip(1, Media(1920, 1080));
  const json shotB = Clip(1, Media(3840, 2160), Seconds(12));
  const json shotC = Clip(1, Media(1920, 1080), Seconds(3));
  const json title = Clip(2, Media(1280, 720));
  const json broll = Clip(3, Media(1080, 1920));
  struct Cut {
    double start;
    double end;
    std::vector<json> layers; // the stage cameras' clip goes under them
    int camera;
  };
  const Cut cuts[] = {
      {0, 1, {Transition("ZYL.DipToBlack", Seconds(1), nullptr, shotA)}, 0},
      {1, 3.5, {shotA, title}, 0},
      {3.5, 6, {shotA, title}, 2},
      {6, 9.5, {shotA}, 1},
      {9.5, 10.5, {Transition("ZYL.CrossDissolve", Seconds(1), shotA, shotB)}, 1},
      {10.5, 13, {shotB}, 3},
      {13, 16, {shotB}, 0},
      {16, 20, {shotB, broll}, 2},
      {20, 21, {Transition("ZYL.Wipe: Left to Right", Seconds(1), shotB, shotC)}, 2},
      {21, 25.5, {shotC}, 1},
      {25.5, 30, {shotC}, 3},
      {30, 31, {Transition("ZYL.DipToBlack", Seconds(1), shotC, nullptr)}, 3},
  };
  json segments = json::array();
  for (const Cut& cut : cuts) {
    std::vector<json> layers = cut.layers;
    layers.push_back(NestedMulticam(cut.camera, Seconds(cut.start), 4));
    segments.push_back(SegmentJson(cut.start, cut.end, Composite(layers)));
  }
  return {{"id", 3},
          {"sequence", Sequence(kFrame2997, 1920, 1080)},
          {"markers",
           {MarkerJson("Intro", 0), MarkerJson("Scène 2", 10.5), MarkerJson("Interview", 20.5),
            MarkerJson("Outro", 30)}},
          {"segments", segments}};
}

// The interview cut from a nested multicam sequence.
json MulticamInterview() {
  json segments = json::array();
  const int angles[] = {0, 2, 1, 3, 0, 2, 1};
  const double cuts[] = {0, 4, 9.5, 13, 18, 24, 27.5, 33};
  for (std::size_t i = 0; i < std::size(angles); ++i)
    segments.push_back(SegmentJson(cuts[i], cuts[i + 1],
                                   Composite({NestedMulticam(angles[i], Seconds(cuts[i]), 1)})));
  return {{"id", 17},
          {"sequence", Sequence(kFrame25, 1920, 1080)},
          {"markers",
           {MarkerJson("Question 1", 0), MarkerJson("Question 2", 13), MarkerJson("Réponse", 24)}},
          {"segments", segments}};
}

// A UHD b-roll reel holding a nested sequence (without multicam) and an anamorphic clip.
json NestedBroll() {
  json nested = Media(3840, 2160);
  nested["props"]["MediaNode::NestedSequenceHash"] = "a3e4f5061728394a5b6c7d8e9f00112";
  json anamorphic = Media(4096, 1716);
  return {{"id", 1042},
          {"sequence", Sequence(kFrame23976, 3840, 2160)},
          {"markers", {MarkerJson("B-roll start", 0), MarkerJson("Drone", 6)}},
          {"segments",
           {SegmentJson(0, 6, Composite({Clip(1, nested)})),
            SegmentJson(6, 6.5,
                        Composite({Transition("ZYL.CrossDissolve", Seconds(0.5), Clip(1, nested),
                                              Clip(1, anamorphic))})),
            SegmentJson(6.5, 14, Composite({Clip(1, anamorphic), Clip(2, Media(1920, 1080))}))}}};
}

json CommandList() {
  json commands = json::array();
  for (int camera = 1; camera <= 16; ++camera) {
    const std::string n = std::to_string(camera);
    commands.push_back({"cmd.multicam.choosenocut.camera" + n, "Multi-Camera: Camera " + n,
                        "Multi-Camera", "Show camera " + n + " without cutting"});
  }
  commands.push_back(
      {"cmd.edit.addedit", "Add Edit", "Timeline", "Cut every track at the playhead"});
  commands.push_back({"cmd.marker.add", "Add Marker", "Markers", "Mark the playhead position"});
  commands.push_back({"cmd.transport.playinout", "Play In to Out", "Transport",
                      "Play range: In point to Out point"});
  commands.push_back({"cmd.view.zoomtofit", "Zoom to Sequence", "View", "Fit: the whole sequence"});
  return commands;
}

} // namespace

nlohmann::json DemoProject() {
  return {{"ticksPerSecond", kTicksPerSecond},
          {"hostMarkerCount", 4},
          {"solo", false},
          {"mixer", {{"tracks", 6}, {"meterSource", 1}, {"peaksDb", {-12.0, -14.5}}}},
          {"commands", CommandList()},
          {"timelines", {MainEdit(), MulticamInterview(), NestedBroll()}},
          {"probeDelayNs", 0}};
}

} // namespace zylsim
