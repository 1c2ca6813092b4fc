#include "timeline/NodeReader.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace ZYL {

std::string_view NodeInfo::KindName() const {
  const auto end = std::find(kindName.begin(), kindName.end(), '\0');
  return std::string_view(kindName.data(), static_cast<std::size_t>(end - kindName.begin()));
}

NodeKind NodeInfo::Kind() const {
  const std::string_view name = KindName();
  if (name == NodeKindName::kClip) return NodeKind::Clip;
  if (name == NodeKindName::kMedia) return NodeKind::Media;
  if (name == NodeKindName::kMulticam) return NodeKind::Multicam;
  if (name == NodeKindName::kTransition) return NodeKind::Transition;
  return NodeKind::Other;
}

NodeInfo ReadNodeInfo(const hostsdk::VideoSegmentSuite9& suite, std::int32_t node) {
  NodeInfo info;
  std::array<std::uint8_t, hostsdk::kNodeHashSize> hashScratch{};
  suite.GetNodeInfo(node, info.kindName.data(), hashScratch.data(), &info.flags);
  return info;
}

std::optional<std::string> ReadNodeProperty(const hostsdk::VideoSegmentSuite9& suite,
                                            std::int32_t node, const char* key) {
  const char* value = nullptr;
  if (suite.GetNodeProperty(node, key, &value) != hostsdk::kSuccess || value == nullptr)
    return std::nullopt;
  return std::string(value);
}

std::int32_t PropertyInteger(const std::string& text) {
  // strtoll already saturates at 64 bits, so clamping to 32 bits is all that is left.
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<std::int32_t>(std::clamp<long long>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::int32_t> ReadIntegerProperty(const hostsdk::VideoSegmentSuite9& suite,
                                                std::int32_t node, const char* key) {
  const std::optional<std::string> text = ReadNodeProperty(suite, node, key);
  if (!text) return std::nullopt;
  return PropertyInteger(*text);
}

std::int32_t ReadChildCount(const hostsdk::VideoSegmentSuite9& suite, std::int32_t node,
                            ChildKind kind) {
  std::int32_t count = 0;
  const hostsdk::ErrorCode status = kind == ChildKind::Input
                                        ? suite.GetNodeInputCount(node, &count)
                                        : suite.GetNodeOperatorCount(node, &count);
  return status == hostsdk::kSuccess ? count : 0;
}

} // namespace ZYL
