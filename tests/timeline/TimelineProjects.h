// Builders for simulator projects (the JSON of the simulator's contract) used by the
// timeline tests: render-node trees, segments, markers and timelines.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace zyltest::timeline {

using nlohmann::json;

inline json Node(const std::string& kind, json props = json::object(),
                 std::vector<json> inputs = {}, std::vector<json> operators = {}) {
  json inputList = json::array();
  for (json& input : inputs)
    inputList.push_back({{"offset", 0}, {"node", std::move(input)}});
  return {{"kind", kind},
          {"flags", 0},
          {"props", std::move(props)},
          {"inputs", std::move(inputList)},
          {"operators", json(std::move(operators))}};
}

inline json Clip(const std::string& track, std::vector<json> inputs = {}) {
  return Node("RenderableNodeClipImpl", {{"ClipNode::TrackID", track}}, std::move(inputs));
}

inline json Media(json props, std::vector<json> inputs = {}) {
  return Node("RenderableNodeMediaImpl", std::move(props), std::move(inputs));
}

inline json SizedMedia(int width, int height, std::vector<json> inputs = {}) {
  return Media({{"MediaNode::StreamFrameWidth", std::to_string(width)},
                {"MediaNode::StreamFrameHeight", std::to_string(height)}},
               std::move(inputs));
}

// A nested multicam sequence: the media form of a multicam selection.
inline json NestedMulticam(const std::string& selectedTrack) {
  return Media({{"MediaNode::SelectedMulticamTrack", selectedTrack},
                {"MediaNode::NestedSequenceHash", "c0ffee"}});
}

inline json Multicam(const std::string& selectedTrack, std::vector<json> inputs = {}) {
  return Node("RenderableNodeMulticamImpl", {{"MulticamNode::SelectedTrack", selectedTrack}},
              std::move(inputs));
}

inline json Transition(const std::string& name, const std::string& duration) {
  return Node("RenderableNodeTransitionImpl", {{"TransitionNode::TransitionMatchName", name},
                                               {"TransitionNode::TransitionDuration", duration}});
}

// A plain node that only holds children.
inline json Group(std::vector<json> inputs, std::vector<json> operators = {}) {
  return Node("RenderableNodeGroupImpl", json::object(), std::move(inputs), std::move(operators));
}

inline json Segment(std::int64_t start, std::int64_t end, json root) {
  return {{"start", start}, {"end", end}, {"root", std::move(root)}};
}

inline json Segment(std::int64_t start, std::int64_t end, std::int64_t offset, json root) {
  return {{"start", start}, {"end", end}, {"offset", offset}, {"root", std::move(root)}};
}

inline json MarkerAt(const std::string& name, std::int64_t time) {
  return {{"name", name}, {"time", time}};
}

inline json Timeline(std::int32_t id, std::vector<json> segments, std::vector<json> markers = {}) {
  return {
      {"id", id}, {"segments", json(std::move(segments))}, {"markers", json(std::move(markers))}};
}

inline json Project(std::vector<json> timelines) {
  return {{"timelines", json(std::move(timelines))}};
}

} // namespace zyltest::timeline
