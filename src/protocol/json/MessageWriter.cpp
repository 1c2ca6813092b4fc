#include "protocol/json/MessageWriter.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

std::string IdText(const RequestId& id) {
  if (const auto* number = std::get_if<std::int64_t>(&id)) return std::to_string(*number);
  if (const auto* text = std::get_if<std::string>(&id)) return JsonText(*text);
  return "null";
}

Json ErrorObject(const ResponseError& error) {
  Json object = {{"code", ErrorCodeName(error.code)}, {"message", error.message}};
  if (error.param) object["param"] = *error.param;
  if (error.status) object["status"] = *error.status;
  return object;
}

// "ok":true,"result":R or "ok":false,"error":E, for a response or a batch item.
std::string OutcomeMembers(const Outcome& outcome) {
  if (const auto* result = std::get_if<Json>(&outcome))
    return "\"ok\":true,\"result\":" + JsonText(*result);
  return "\"ok\":false,\"error\":" + JsonText(ErrorObject(std::get<ResponseError>(outcome)));
}

std::string TopicList(TopicSet topics) {
  Json names = Json::array();
  for (const Topic topic : topics.Topics())
    names.push_back(TopicName(topic));
  return JsonText(names);
}

} // namespace

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string HelloMessage(std::string_view version,
                         const std::optional<AuthenticationChallenge>& challenge) {
  std::string text =
      "{\"op\":\"hello\",\"engine\":\"ZYL Engine\",\"version\":" + JsonText(std::string(version)) +
      ",\"protocol\":" + std::to_string(kJsonProtocolVersion) + ",\"authentication\":";
  if (challenge)
    text += "{\"challenge\":" + JsonText(challenge->challenge) +
            ",\"salt\":" + JsonText(challenge->salt) + "}";
  else
    text += "null";
  return text + "}";
}

std::string IdentifiedMessage(TopicSet subscriptions,
                              const std::optional<std::string>& serverProof) {
  std::string text = "{\"op\":\"identified\",\"protocol\":" + std::to_string(kJsonProtocolVersion) +
                     ",\"subscriptions\":" + TopicList(subscriptions);
  if (serverProof) text += ",\"serverProof\":" + JsonText(*serverProof);
  return text + "}";
}

std::string ResponseMessage(const RequestId& id, const Outcome& outcome) {
  return "{\"op\":\"response\",\"id\":" + IdText(id) + "," + OutcomeMembers(outcome) + "}";
}

std::string BatchResponseMessage(const RequestId& id, const std::vector<Outcome>& outcomes) {
  std::string text =
      "{\"op\":\"batchResponse\",\"id\":" + IdText(id) + ",\"ok\":true,\"results\":[";
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (i > 0) text += ',';
    text.append("{").append(OutcomeMembers(outcomes[i])).append("}");
  }
  return text + "]}";
}

std::string BatchRefusedMessage(const RequestId& id, const ResponseError& error) {
  return "{\"op\":\"batchResponse\",\"id\":" + IdText(id) + "," + OutcomeMembers(error) + "}";
}

} // namespace ZYL
