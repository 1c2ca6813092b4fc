#include "protocol/json/JsonProtocol.h"

#include "protocol/ErrorTokens.h"

namespace ZYL {

namespace {

constexpr std::string_view kParseTokens[] = {kParseToken, kRangeToken};
constexpr std::string_view kNotFoundTokens[] = {kNoTimelineToken, kNoClipToken};
constexpr std::string_view kUnavailableTokens[] = {kNoSuiteToken};
constexpr std::string_view kHostErrorTokens[] = {kCountToken, kAllocToken, kHostStatusToken};

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

} // namespace ZYL
