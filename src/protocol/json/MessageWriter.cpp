#include "protocol/json/MessageWriter.h"

#include <charconv>

namespace ZYL {

namespace {

using Json = nlohmann::json;
// Literals appended as string views: their length is known without a strlen call.
using std::string_view_literals::operator""sv;

// Whether `text` is written as it is between quotes: printable ASCII without a quote or a
// backslash, which is all most texts hold.
bool WrittenAsIs(const std::string& text) {
  for (const char c : text)
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  return true;
}

void AppendString(std::string& text, const std::string& string) {
  if (!WrittenAsIs(string)) {
    text += Json(string).dump(-1, ' ', false, Json::error_handler_t::replace);
    return;
  }
  text += '"';
  text += string;
  text += '"';
}

template <class Number> void AppendNumber(std::string& text, Number number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  text.append(digits, static_cast<std::size_t>(end - digits));
}

} // namespace

// Writes what the library's compact dump writes (keys in the object's order, the invalid
// UTF-8 replaced), appending instead of building a string per value: the library's
// serializer costs more than the rest of a small response. Texts that need escaping, and
// floating-point numbers, are still written by the library.
void AppendJsonText(std::string& text, const Json& value) {
  switch (value.type()) {
  case Json::value_t::object: {
    text += '{';
    bool first = true;
    for (const auto& [key, member] : value.get_ref<const Json::object_t&>()) {
      if (!first) text += ',';
      first = false;
      AppendString(text, key);
      text += ':';
      AppendJsonText(text, member);
    }
    text += '}';
    return;
  }
  case Json::value_t::array: {
    text += '[';
    bool first = true;
    for (const Json& item : value.get_ref<const Json::array_t&>()) {
      if (!first) text += ',';
      first = false;
      AppendJsonText(text, item);
    }
    text += ']';
    return;
  }
  case Json::value_t::string:
    AppendString(text, value.get_ref<const Json::string_t&>());
    return;
  case Json::value_t::boolean:
    text += value.get<bool>() ? "true" : "false";
    return;
  case Json::value_t::null:
    text += "null";
    return;
  case Json::value_t::number_integer:
    AppendNumber(text, value.get<Json::number_integer_t>());
    return;
  case Json::value_t::number_unsigned:
    AppendNumber(text, value.get<Json::number_unsigned_t>());
    return;
  default:
    break;
  }
  text += value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace {

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

// Appends "ok":true,"result":R or "ok":false,"error":E, for a response or a batch item.
void AppendOutcomeMembers(std::string& text, const Outcome& outcome) {
  if (const auto* result = std::get_if<Json>(&outcome)) {
    text += "\"ok\":true,\"result\":"sv;
    AppendJsonText(text, *result);
    return;
  }
  if (const auto* written = std::get_if<WrittenResult>(&outcome)) {
    text += "\"ok\":true,\"result\":"sv;
    text += written->text;
    return;
  }
  text += "\"ok\":false,\"error\":"sv;
  AppendJsonText(text, ErrorObject(std::get<ResponseError>(outcome)));
}

std::string TopicList(TopicSet topics) {
  Json names = Json::array();
  for (const Topic topic : topics.Topics())
    names.push_back(TopicName(topic));
  return JsonText(names);
}

} // namespace

std::string JsonText(const Json& value) {
  std::string text;
  AppendJsonText(text, value);
  return text;
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
  // Built in one string: a small response costs little more than its few appends.
  std::string text;
  text.reserve(128);
  text += "{\"op\":\"response\",\"id\":"sv;
  text += IdText(id);
  text += ',';
  AppendOutcomeMembers(text, outcome);
  text += '}';
  return text;
}

std::string BatchResponseMessage(const RequestId& id, const std::vector<Outcome>& outcomes) {
  std::string text =
      "{\"op\":\"batchResponse\",\"id\":" + IdText(id) + ",\"ok\":true,\"results\":[";
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (i > 0) text += ',';
    text += '{';
    AppendOutcomeMembers(text, outcomes[i]);
    text += '}';
  }
  return text + "]}";
}

std::string BatchRefusedMessage(const RequestId& id, const ResponseError& error) {
  std::string text = "{\"op\":\"batchResponse\",\"id\":" + IdText(id) + ",";
  AppendOutcomeMembers(text, error);
  return text + "}";
}

} // namespace ZYL
