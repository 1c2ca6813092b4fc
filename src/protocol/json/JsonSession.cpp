#include "protocol/json/JsonSession.h"

#include "protocol/json/Authentication.h"
#include "protocol/json/JsonMethodTable.h"
#include "protocol/json/MessageReader.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/PlayheadPublisher.h"
#include "protocol/json/TimelinePin.h"
#include "server/ClosePayload.h"
#include "server/FrameWriter.h"

#include <chrono>
#include <optional>

namespace ZYL {

namespace {

using Json = nlohmann::json;

constexpr std::chrono::seconds kIdentifyWait{10};
// A wrong password costs the guesser this long each time.
constexpr std::chrono::seconds kAuthenticationFailureDelay{1};

struct SessionState final : ConversationState {
  bool identified = false;
  std::optional<AuthenticationDigests> expected; // set when a password is asked
};

SessionState& State(ClientConnection& connection) {
  return static_cast<SessionState&>(*connection.Talk().state);
}

void Close(ClientConnection& connection, CloseCode code, std::string_view reason) {
  connection.SendClose(CloseFrame(CloseNumber(code), reason));
  connection.Talk().ended = true;
}

// Sends `text` and holds `topics` from then on.
void SendThenHoldTopics(EngineParts& engine, ClientConnection& connection, std::string_view text,
                        TopicSet topics) {
  // The publisher sends only to registered subscribers (one already registered stays), so
  // the registration comes first; the connection gets no push of a topic it does not hold.
  if (!topics.Topics().empty()) engine.server.Subscribe(connection);
  // Timecodes are stored from before the client can send anything, and the first records
  // are derived for the new holder once it holds its topics.
  if (!topics.Contains(Topic::Playhead)) {
    connection.SendThenSetTopics(text, topics);
  } else {
    engine.playheads.BeginHold();
    struct HoldEnd {
      PlayheadPublisher& playheads;
      ~HoldEnd() { playheads.EndHold(); }
    } holdEnd{engine.playheads};
    connection.SendThenSetTopics(text, topics);
  }
  if (topics.Contains(Topic::Sequence)) engine.playheads.Wake();
}

void Identified(EngineParts& engine, ClientConnection& connection, const Identify& identify) {
  SessionState& state = State(connection);
  // Guesses from another machine slow down as they fail, across its connections. A stop
  // ends the wait; it tells the client itself.
  const std::optional<platform::Ipv4Address> peer = connection.Admitted().networkPeer;
  if (peer && !engine.server.WaitToJudge(*peer)) {
    connection.Talk().ended = true;
    return;
  }
  if (state.expected &&
      !AnswerMatches(identify.authentication.value_or(""), state.expected->answer)) {
    if (peer) engine.server.NoteAuthentication(*peer, false);
    engine.server.Pause(kAuthenticationFailureDelay);
    Close(connection, CloseCode::AuthenticationFailed, "authentication failed");
    return;
  }
  if (peer) engine.server.NoteAuthentication(*peer, true);
  state.identified = true;
  connection.Talk().readDeadline.reset();
  std::optional<std::string> proof;
  if (state.expected) proof = state.expected->serverProof;
  SendThenHoldTopics(engine, connection, IdentifiedMessage(identify.subscriptions, proof),
                     identify.subscriptions);
}

Json SubscriptionsResult(TopicSet topics) {
  Json names = Json::array();
  for (const Topic topic : topics.Topics())
    names.push_back(TopicName(topic));
  return {{"subscriptions", names}};
}

std::vector<Outcome> RunBatch(EngineParts& engine, ClientConnection& connection,
                              const Batch& batch) {
  std::vector<Outcome> outcomes;
  for (const BatchItem& item : batch.items) {
    outcomes.push_back(item.fault ? Outcome(*item.fault)
                                  : RunForConnection(engine, connection, item.method, item.params));
    if (batch.haltOnFailure && std::holds_alternative<ResponseError>(outcomes.back())) break;
  }
  return outcomes;
}

// The messages of an identified connection. Each response is framed where it was written.
void Serve(EngineParts& engine, ClientConnection& connection, ReadResult& read) {
  if (auto* request = std::get_if<Request>(&read)) {
    SendOwnedTextFrame(
        connection,
        ResponseMessage(request->id, RunForConnection(engine, connection, request->method,
                                                      std::move(request->params))));
  } else if (const auto* batch = std::get_if<Batch>(&read)) {
    SendOwnedTextFrame(connection,
                       BatchResponseMessage(batch->id, RunBatch(engine, connection, *batch)));
  } else if (const auto* subscribe = std::get_if<Subscribe>(&read)) {
    TopicSet topics = connection.Topics();
    topics.Add(subscribe->topics);
    SendThenHoldTopics(engine, connection,
                       ResponseMessage(subscribe->id, SubscriptionsResult(topics)), topics);
  } else if (const auto* unsubscribe = std::get_if<Unsubscribe>(&read)) {
    // The topics end before the response that ends them.
    TopicSet topics = connection.Topics();
    topics.Remove(unsubscribe->topics);
    connection.SetTopics(topics);
    SendOwnedTextFrame(connection, ResponseMessage(unsubscribe->id, SubscriptionsResult(topics)));
  } else if (const auto* rejected = std::get_if<Rejected>(&read)) {
    SendOwnedTextFrame(connection, rejected->reply == Rejected::Reply::BatchResponse
                                       ? BatchRefusedMessage(rejected->id, rejected->error)
                                       : ResponseMessage(rejected->id, rejected->error));
  }
}

} // namespace

void OpenJsonSession(ClientConnection& connection) {
  auto state = std::make_unique<SessionState>();
  std::optional<AuthenticationChallenge> challenge;
  const Settings& settings = connection.Admitted().settings;
  if (settings.RequiresAuthentication()) {
    challenge = NewAuthenticationChallenge();
    if (challenge) state->expected = DeriveAuthenticationDigests(settings.password, *challenge);
    // A challenge that could be predicted or checked against nothing admits no one.
    if (!state->expected) {
      connection.Talk().state = std::move(state);
      Close(connection, CloseCode::InternalError, "cannot authenticate now");
      return;
    }
  }
  connection.Talk().state = std::move(state);
  connection.Talk().readDeadline = std::chrono::steady_clock::now() + kIdentifyWait;
  connection.Send(HelloMessage(ZYL_ENGINE_VERSION, challenge));
}

void JsonSessionLate(ClientConnection& connection) {
  // Before identify, the identify's deadline passes first: it began before any byte came.
  if (State(connection).identified)
    Close(connection, CloseCode::IncompleteMessage, "message not whole within 10 s");
  else
    Close(connection, CloseCode::NotIdentified, "no identify within 10 s of hello");
}

void HandleJsonMessage(EngineParts& engine, ClientConnection& connection,
                       std::string_view message) {
  const SessionState& state = State(connection);
  ReadResult read = ReadMessage(message, state.expected.has_value(), AbsentParams::Null);
  if (const auto* failure = std::get_if<ReadFailure>(&read))
    return Close(connection, failure->code, failure->reason);
  const bool identify =
      std::holds_alternative<Identify>(read) || std::holds_alternative<IdentifyFailure>(read);
  if (identify && state.identified)
    return Close(connection, CloseCode::AlreadyIdentified, "already identified");
  if (const auto* failure = std::get_if<IdentifyFailure>(&read))
    return Close(connection, failure->code, failure->reason);
  if (const auto* identifyMessage = std::get_if<Identify>(&read))
    return Identified(engine, connection, *identifyMessage);
  if (!state.identified) return Close(connection, CloseCode::NotIdentified, "not identified");
  Serve(engine, connection, read);
}

} // namespace ZYL
