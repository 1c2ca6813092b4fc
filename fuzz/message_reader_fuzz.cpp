// The JSON protocol's message reader against any text a client may send, and the replies
// built from what it read. Every outcome must be one the connection can act on: a close
// whose payload fits a control frame, or a message whose id and params are within their
// bounds and whose reply is valid JSON echoing the id.
#include "FuzzCheck.h"
#include "protocol/json/MessageReader.h"
#include "protocol/json/MessageWriter.h"
#include "server/ClosePayload.h"
#include "server/ValidUtf8.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

namespace {

using Json = nlohmann::json;
using zylfuzz::Require;

void RequireIdInBounds(const ZYL::RequestId& id) {
  if (const auto* number = std::get_if<std::int64_t>(&id))
    Require(*number >= -ZYL::kMaxSafeInteger && *number <= ZYL::kMaxSafeInteger,
            "integer ids are safe integers");
  if (const auto* text = std::get_if<std::string>(&id))
    Require(text->size() <= ZYL::kMaxRequestIdBytes, "string ids are at most 256 bytes");
}

// The reply parses as one JSON object and carries the id as it was read.
void RequireReplyEchoes(const std::string& reply, const ZYL::RequestId& id) {
  const Json parsed = Json::parse(reply, nullptr, false);
  Require(parsed.is_object() && parsed.contains("id"), "a reply is a JSON object with an id");
  const Json& echoed = parsed["id"];
  if (const auto* number = std::get_if<std::int64_t>(&id))
    Require(echoed.is_number_integer() && echoed.get<std::int64_t>() == *number,
            "an integer id comes back as the same integer");
  else if (const auto* text = std::get_if<std::string>(&id))
    Require(echoed.is_string() && echoed.get<std::string>() == *text,
            "a string id comes back as the same string");
  else
    Require(echoed.is_null(), "a missing id comes back as null");
}

void RequireClosable(ZYL::CloseCode code, const std::string& reason) {
  Require(ZYL::ClosePayload(static_cast<std::uint16_t>(code), reason).size() <= 125,
          "a close payload fits a control frame");
}

// nlohmann's strict serializer is the independent judge of what is valid UTF-8.
bool IsValidUtf8(const std::string& text) {
  try {
    (void)Json(text).dump();
    return true;
  } catch (const Json::type_error&) {
    return false;
  }
}

void CheckValidUtf8(std::string_view text) {
  const std::string valid = ZYL::ToValidUtf8(text);
  Require(IsValidUtf8(valid), "ToValidUtf8 gives valid UTF-8");
  if (IsValidUtf8(std::string(text))) Require(valid == text, "valid UTF-8 comes back unchanged");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = zylfuzz::AsText(data, size);
  CheckValidUtf8(text);
  const ZYL::ReadResult result = ZYL::ReadMessage(text);
  if (const auto* failure = std::get_if<ZYL::ReadFailure>(&result)) {
    RequireClosable(failure->code, failure->reason);
  } else if (const auto* identify = std::get_if<ZYL::IdentifyFailure>(&result)) {
    RequireClosable(identify->code, identify->reason);
  } else if (const auto* request = std::get_if<ZYL::Request>(&result)) {
    RequireIdInBounds(request->id);
    Require(request->params.is_object(), "params are an object");
    RequireReplyEchoes(ZYL::ResponseMessage(request->id, request->params), request->id);
  } else if (const auto* batch = std::get_if<ZYL::Batch>(&result)) {
    RequireIdInBounds(batch->id);
    Require(batch->items.size() <= ZYL::kMaxBatchRequests, "a batch has at most 64 items");
    std::vector<ZYL::Outcome> outcomes;
    for (const ZYL::BatchItem& item : batch->items) {
      Require(item.fault || item.params.is_object(), "item params are an object");
      outcomes.emplace_back(item.params);
    }
    RequireReplyEchoes(ZYL::BatchResponseMessage(batch->id, outcomes), batch->id);
  } else if (const auto* rejected = std::get_if<ZYL::Rejected>(&result)) {
    RequireIdInBounds(rejected->id);
    RequireReplyEchoes(rejected->reply == ZYL::Rejected::Reply::Response
                           ? ZYL::ResponseMessage(rejected->id, rejected->error)
                           : ZYL::BatchRefusedMessage(rejected->id, rejected->error),
                       rejected->id);
  }
  return 0;
}
