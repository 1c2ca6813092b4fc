#include "protocol/JsonProtocol.h"

#include <array>

namespace ZYL {

namespace {

constexpr std::array<Topic, 5> kTopicsInOrder{Topic::Transport, Topic::Marker, Topic::Vitals,
                                              Topic::Playhead, Topic::Sequence};

constexpr std::string_view kParseTokens[] = {"parse", "range"};
constexpr std::string_view kNotFoundTokens[] = {"notimeline", "noclip"};
constexpr std::string_view kUnavailableTokens[] = {"nosuite"};
constexpr std::string_view kHostErrorTokens[] = {"count", "alloc", "a number"};

constexpr ErrorCodeInfo kErrorCodes[] = {
    {ErrorCode::InvalidRequest,
     "invalid_request",
     "the request object is ill-formed (id, method, params)",
     {}},
    {ErrorCode::UnknownMethod, "unknown_method", "no such method", {}},
    {ErrorCode::InvalidParams, "invalid_params",
     "a param is missing, unknown, of the wrong type or out of range; param names it",
     kParseTokens},
    {ErrorCode::NotFound, "not_found", "no such timeline, clip or marker", kNotFoundTokens},
    {ErrorCode::Unavailable, "unavailable", "the host does not offer the suite this needs",
     kUnavailableTokens},
    {ErrorCode::HostError, "host_error",
     "the host refused a call; status holds its code when it gave one", kHostErrorTokens},
    {ErrorCode::UnknownCommand,
     "unknown_command",
     "commands.run of a command the host does not list",
     {}},
    {ErrorCode::TooMany, "too_many", "a batch of more than 64 requests", {}},
};

} // namespace

std::span<const ErrorCodeInfo> ErrorCodes() noexcept { return kErrorCodes; }

std::string_view ErrorCodeName(ErrorCode code) noexcept {
  for (const ErrorCodeInfo& info : ErrorCodes())
    if (info.code == code) return info.name;
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
  case Topic::Playhead:
    return "playhead";
  case Topic::Sequence:
    return "sequence";
  }
  return "transport";
}

std::optional<Topic> TopicNamed(std::string_view name) noexcept {
  for (const Topic topic : kTopicsInOrder)
    if (TopicName(topic) == name) return topic;
  return std::nullopt;
}

} // namespace ZYL
