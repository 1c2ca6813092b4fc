// The vocabulary of the JSON protocol (the one a client chooses with the "zyl.v2"
// subprotocol): close codes, error codes, request ids and topics, shared by the message
// reader, the reply writer and the dispatcher.
#pragma once

#include "server/CloseCodes.h"
#include "server/PushTopics.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ZYL {

inline constexpr int kJsonProtocolVersion = 2;
// Objects and arrays each count as one level.
inline constexpr std::size_t kMaxMessageNesting = 32;
inline constexpr std::size_t kMaxRequestIdBytes = 256;
inline constexpr std::size_t kMaxBatchRequests = 64;
// The integers a double holds exactly: ids beyond them would change on their way through a
// JavaScript client.
inline constexpr std::int64_t kMaxSafeInteger = (std::int64_t{1} << 53) - 1;

enum class ErrorCode {
  InvalidRequest,
  UnknownMethod,
  InvalidParams,
  NotFound,
  Unavailable,
  HostError,
  UnknownCommand,
  TooMany,
};

// The code as it appears on the wire: "invalid_request", "unknown_method", ...
std::string_view ErrorCodeName(ErrorCode code) noexcept;

struct ErrorCodeInfo {
  ErrorCode code;
  std::string_view name;
  std::string_view summary;
  std::span<const std::string_view> textTokens; // the text protocol's replies it stands for
};

// Every error code, in the order the protocol description lists them.
std::span<const ErrorCodeInfo> ErrorCodes() noexcept;

// The "error" member of a failed response.
struct ResponseError {
  ErrorCode code = ErrorCode::InvalidRequest;
  std::string message;
  std::optional<std::string> param;   // the param at fault
  std::optional<std::int64_t> status; // host_error: the host's status code
};

// A request id as the client gave it: a string or an integer, echoed as it came; null
// (monostate) when the client's id was missing or unusable.
using RequestId = std::variant<std::monostate, std::int64_t, std::string>;

} // namespace ZYL
