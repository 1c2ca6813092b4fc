#include "protocol/json/MessageReader.h"

#include "protocol/json/PlainRequest.h"
#include "server/JsonParse.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

const Json* MemberNamed(const Json& object, std::string_view name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

// An integer the JSON text wrote as one: nlohmann keeps 3.0 and 1e3 as floating-point
// numbers, so they are not taken. Non-negative integers arrive as unsigned.
std::optional<std::int64_t> SafeInteger(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(kMaxSafeInteger)) return std::nullopt;
    return static_cast<std::int64_t>(number);
  }
  if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    if (number < -kMaxSafeInteger || number > kMaxSafeInteger) return std::nullopt;
    return number;
  }
  return std::nullopt;
}

std::optional<RequestId> ReadId(const Json& message) {
  const Json* id = MemberNamed(message, "id");
  if (id == nullptr) return std::nullopt;
  if (id->is_string()) {
    const auto& text = id->get_ref<const std::string&>();
    if (text.size() > kMaxRequestIdBytes) return std::nullopt;
    return RequestId{text};
  }
  if (const std::optional<std::int64_t> number = SafeInteger(*id)) return RequestId{*number};
  return std::nullopt;
}

ResponseError InvalidRequest(std::string message) {
  return ResponseError{ErrorCode::InvalidRequest, std::move(message), std::nullopt, std::nullopt};
}

Rejected BadId(Rejected::Reply reply) {
  return Rejected{reply, RequestId{},
                  InvalidRequest("id must be a string of at most 256 bytes or an integer "
                                 "between -(2^53-1) and 2^53-1")};
}

// The params member: absent is as `absent` says, an object is itself, anything else (null
// too) has no params to give.
std::optional<Json> ReadParams(const Json& holder, AbsentParams absent) {
  const Json* params = MemberNamed(holder, "params");
  if (params == nullptr) return absent == AbsentParams::Null ? Json() : Json::object();
  if (!params->is_object()) return std::nullopt;
  return *params;
}

const std::string* StringMember(const Json& object, std::string_view name) {
  const Json* value = MemberNamed(object, name);
  return value != nullptr && value->is_string() ? &value->get_ref<const std::string&>() : nullptr;
}

ReadResult ReadRequest(const Json& message, AbsentParams absent) {
  const std::optional<RequestId> id = ReadId(message);
  if (!id) return BadId(Rejected::Reply::Response);
  const std::string* method = StringMember(message, "method");
  if (method == nullptr)
    return Rejected{Rejected::Reply::Response, *id, InvalidRequest("method must be a string")};
  std::optional<Json> params = ReadParams(message, absent);
  if (!params)
    return Rejected{Rejected::Reply::Response, *id, InvalidRequest("params must be an object")};
  return Request{*id, *method, std::move(*params)};
}

ReadResult ReadBatch(const Json& message, AbsentParams absent) {
  constexpr auto kReply = Rejected::Reply::BatchResponse;
  const std::optional<RequestId> id = ReadId(message);
  if (!id) return BadId(kReply);
  Batch batch{*id, false, {}};
  if (const Json* halt = MemberNamed(message, "haltOnFailure")) {
    if (!halt->is_boolean())
      return Rejected{kReply, *id, InvalidRequest("haltOnFailure must be true or false")};
    batch.haltOnFailure = halt->get<bool>();
  }
  const Json* requests = MemberNamed(message, "requests");
  if (requests == nullptr || !requests->is_array())
    return Rejected{kReply, *id, InvalidRequest("requests must be an array")};
  if (requests->size() > kMaxBatchRequests)
    return Rejected{kReply, *id,
                    ResponseError{ErrorCode::TooMany, "a batch holds at most 64 requests",
                                  std::nullopt, std::nullopt}};
  for (const Json& item : *requests) {
    const std::string* method = item.is_object() ? StringMember(item, "method") : nullptr;
    if (method == nullptr)
      return Rejected{kReply, *id,
                      InvalidRequest("each request must be an object with a string method")};
    std::optional<Json> params = ReadParams(item, absent);
    BatchItem read{*method, params ? std::move(*params) : Json::object(), std::nullopt};
    if (!params) read.fault = InvalidRequest("params must be an object");
    batch.items.push_back(std::move(read));
  }
  return batch;
}

// The topics of a subscribe or unsubscribe: an array of topic names.
template <class Change> ReadResult ReadSubscriptionChange(const Json& message) {
  const std::optional<RequestId> id = ReadId(message);
  if (!id) return BadId(Rejected::Reply::Response);
  const Json* topics = MemberNamed(message, "topics");
  const auto rejected = [&](ResponseError error) {
    return Rejected{Rejected::Reply::Response, *id, std::move(error)};
  };
  if (topics == nullptr || !topics->is_array())
    return rejected(InvalidRequest("topics must be an array of strings"));
  Change change{*id, {}};
  for (const Json& name : *topics) {
    if (!name.is_string()) return rejected(InvalidRequest("topics must be an array of strings"));
    const auto& text = name.get_ref<const std::string&>();
    const std::optional<Topic> topic = TopicNamed(text);
    if (!topic)
      return rejected(ResponseError{ErrorCode::InvalidParams, "unknown topic " + Json(text).dump(),
                                    "topics", std::nullopt});
    change.topics.Add(*topic);
  }
  return change;
}

ReadResult ReadIdentify(const Json& message, bool authenticationAsked) {
  const Json* protocol = MemberNamed(message, "protocol");
  if (protocol == nullptr || !protocol->is_number_integer())
    return IdentifyFailure{CloseCode::MalformedMessage, "identify: protocol must be an integer"};
  // Asked before the other members: a client of another version learns what is wrong.
  if (protocol->is_number_unsigned() ? protocol->get<std::uint64_t>() != kJsonProtocolVersion
                                     : protocol->get<std::int64_t>() != kJsonProtocolVersion)
    return IdentifyFailure{CloseCode::UnsupportedProtocol, "unsupported protocol"};
  Identify identify;
  // Without a challenge there is nothing to answer, so whatever the member holds is passed by.
  if (const Json* answer = MemberNamed(message, "authentication"); answer && authenticationAsked) {
    if (!answer->is_string())
      return IdentifyFailure{CloseCode::MalformedMessage,
                             "identify: authentication must be a string"};
    identify.authentication = answer->get<std::string>();
  }
  if (const Json* subscriptions = MemberNamed(message, "subscriptions")) {
    const auto failure = IdentifyFailure{CloseCode::MalformedMessage,
                                         "identify: subscriptions must be an array of topics"};
    if (!subscriptions->is_array()) return failure;
    for (const Json& name : *subscriptions) {
      const std::optional<Topic> topic =
          name.is_string() ? TopicNamed(name.get_ref<const std::string&>()) : std::nullopt;
      if (!topic) return failure;
      identify.subscriptions.Add(*topic);
    }
  }
  return identify;
}

ReadFailure Malformed(std::string reason) {
  return ReadFailure{CloseCode::MalformedMessage, std::move(reason)};
}

ReadResult ReadDocument(const Json& message, bool authenticationAsked, AbsentParams absent) {
  if (!message.is_object()) return Malformed("not a JSON object");
  const std::string* op = StringMember(message, "op");
  if (op == nullptr) return Malformed("op missing or not a string");
  if (*op == "request") return ReadRequest(message, absent);
  if (*op == "batch") return ReadBatch(message, absent);
  if (*op == "subscribe") return ReadSubscriptionChange<Subscribe>(message);
  if (*op == "unsubscribe") return ReadSubscriptionChange<Unsubscribe>(message);
  if (*op == "identify") return ReadIdentify(message, authenticationAsked);
  return ReadFailure{CloseCode::UnknownOp, "unknown op"};
}

} // namespace

ReadResult ReadMessage(std::string_view text, bool authenticationAsked,
                       AbsentParams absent) noexcept {
  try {
    if (std::optional<Request> plain = ReadPlainRequest(text, absent)) return std::move(*plain);
    JsonParseResult parsed = ParseJson(text, kMaxMessageNesting, HugeNumbers::Clamp);
    if (const auto* failure = std::get_if<JsonParseFailure>(&parsed)) {
      switch (failure->kind) {
      case JsonParseFailure::Kind::TooDeep:
        return Malformed("nested deeper than 32 levels");
      case JsonParseFailure::Kind::OutOfMemory:
        return Malformed("out of memory");
      case JsonParseFailure::Kind::Syntax:
        return Malformed("not JSON");
      }
    }
    return ReadDocument(std::get<Json>(parsed), authenticationAsked, absent);
  } catch (...) {
    return Malformed("out of memory");
  }
}

} // namespace ZYL
