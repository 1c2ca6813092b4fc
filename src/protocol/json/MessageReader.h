// Reads one complete client message of the JSON protocol (fragments joined, UTF-8 already
// checked by the framing) into what the dispatcher acts on, or the precise reason to close.
#pragma once

#include "protocol/json/JsonProtocol.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ZYL {

// The message cannot be read at all (not a JSON object, no string op, too deep, unknown
// op): the connection ends with `code`.
struct ReadFailure {
  CloseCode code = CloseCode::MalformedMessage;
  std::string reason; // short English, for the close frame
};

struct Identify {
  std::optional<std::string> authentication; // the client's answer, when it gave one
  TopicSet subscriptions;
};

// An identify the engine cannot accept: ill-formed members (MalformedMessage) or another
// protocol (UnsupportedProtocol). Kept apart from ReadFailure so that a connection already
// identified can answer any second identify alike.
struct IdentifyFailure {
  CloseCode code = CloseCode::MalformedMessage;
  std::string reason;
};

// What a request or batch item that gives no params carries as its params: the empty object,
// or null, for a caller that reads null as no params (RunMethod does); null costs no
// allocation.
enum class AbsentParams { EmptyObject, Null };

struct Request {
  RequestId id;
  std::string method;
  nlohmann::json params; // an object; when the client gave none, as AbsentParams says
};

struct BatchItem {
  std::string method;
  nlohmann::json params;              // as Request's, when `fault` is empty
  std::optional<ResponseError> fault; // ill-formed params: this item fails, the rest run
};

struct Batch {
  RequestId id;
  bool haltOnFailure = false;
  std::vector<BatchItem> items;
};

struct Subscribe {
  RequestId id;
  TopicSet topics;
};

struct Unsubscribe {
  RequestId id;
  TopicSet topics;
};

// A request, batch or (un)subscription whose own members are ill-formed: answered with
// `error` under `id` (null when the id itself is at fault), and the connection goes on.
struct Rejected {
  enum class Reply { Response, BatchResponse };
  Reply reply = Reply::Response;
  RequestId id;
  ResponseError error;
};

using ReadResult = std::variant<ReadFailure, IdentifyFailure, Identify, Request, Batch, Subscribe,
                                Unsubscribe, Rejected>;

// `authenticationAsked`: whether hello carried a challenge. When it did not, identify's
// authentication member is not read, whatever it holds.
ReadResult ReadMessage(std::string_view text, bool authenticationAsked = true,
                       AbsentParams absent = AbsentParams::EmptyObject) noexcept;

} // namespace ZYL
