#include "protocol/JsonProtocol.h"

#include <array>

namespace ZYL {

namespace {

constexpr std::array<Topic, 3> kTopicsInOrder{Topic::Transport, Topic::Marker, Topic::Vitals};

} // namespace

std::string_view ErrorCodeName(ErrorCode code) noexcept {
  switch (code) {
  case ErrorCode::InvalidRequest:
    return "invalid_request";
  case ErrorCode::UnknownMethod:
    return "unknown_method";
  case ErrorCode::InvalidParams:
    return "invalid_params";
  case ErrorCode::NotFound:
    return "not_found";
  case ErrorCode::Unavailable:
    return "unavailable";
  case ErrorCode::HostError:
    return "host_error";
  case ErrorCode::UnknownCommand:
    return "unknown_command";
  case ErrorCode::TooMany:
    return "too_many";
  }
  return "invalid_request";
}

std::string_view TopicName(Topic topic) noexcept {
  switch (topic) {
  case Topic::Transport:
    return "transport";
  case Topic::Marker:
    return "marker";
  case Topic::Vitals:
    return "vitals";
  }
  return "transport";
}

std::optional<Topic> TopicNamed(std::string_view name) noexcept {
  for (const Topic topic : kTopicsInOrder)
    if (TopicName(topic) == name) return topic;
  return std::nullopt;
}

} // namespace ZYL
