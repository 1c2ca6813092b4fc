// The texts the engine sends on a JSON-protocol connection. Every one is a single JSON
// object whose "op" comes first; ids are echoed as the client gave them (an integer stays
// an integer, a string the same string).
#pragma once

#include "protocol/json/Authentication.h"
#include "protocol/json/JsonProtocol.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ZYL {

// A result that never changes, written as JSON text once: it goes into each response as it
// is, where a document would be copied, written and freed again for every request. The text
// must outlive every outcome holding it.
struct WrittenResult {
  std::string_view text;
};

// What running one request gave: its result object (as a document or written), or its error.
using Outcome = std::variant<nlohmann::json, ResponseError, WrittenResult>;

// Any JSON value as compact text. Strings that are not valid UTF-8 (which only a caller
// that skipped ToValidUtf8 could put there) get U+FFFD rather than an exception.
std::string JsonText(const nlohmann::json& value);

// Appends JsonText(value) to `text`.
void AppendJsonText(std::string& text, const nlohmann::json& value);

// {"op":"hello","engine":"ZYL Engine","version":V,"protocol":2,"authentication":...}, with
// the challenge and salt when the engine asks for a password, else null.
std::string HelloMessage(std::string_view version,
                         const std::optional<AuthenticationChallenge>& challenge);

// {"op":"identified","protocol":2,"subscriptions":[...]} and, when a password is set,
// "serverProof".
std::string IdentifiedMessage(TopicSet subscriptions,
                              const std::optional<std::string>& serverProof);

// {"op":"response","id":ID,"ok":true,"result":R} or "ok":false with "error".
std::string ResponseMessage(const RequestId& id, const Outcome& outcome);

// {"op":"batchResponse","id":ID,"ok":true,"results":[{"ok":...},...]}.
std::string BatchResponseMessage(const RequestId& id, const std::vector<Outcome>& outcomes);

// {"op":"batchResponse","id":ID,"ok":false,"error":E}: the batch as a whole was refused.
std::string BatchRefusedMessage(const RequestId& id, const ResponseError& error);

} // namespace ZYL
