// protocol.describe: the protocol's machine-readable description, made from the method table,
// the text protocol's command table, the error and close code lists and the record members.
#include "protocol/CommandTable.h"
#include "protocol/JsonMethods.h"
#include "protocol/RecordMembers.h"
#include "server/HandshakeRequest.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

Json Types() {
  return {
      {"integer", "a JSON integer, signed 32-bit unless its minimum and maximum say less"},
      {"ticks", "signed 64-bit integer; beyond 2^53-1 a JS client reads a BigInt"},
      {"timelineID", "signed 32-bit integer"},
      {"string", "a JSON string, UTF-8"},
      {"boolean", "true or false"},
      {"number", "a JSON number, possibly with a fraction"},
      {"object", "a JSON object"},
      {"array", "a JSON array"},
      {"id", "string of at most 256 UTF-8 bytes or integer within \u00b1(2^53-1)"},
  };
}

std::string_view TypeName(ParamType type) noexcept {
  switch (type) {
  case ParamType::Integer:
    return "integer";
  case ParamType::Ticks:
    return "ticks";
  case ParamType::TimelineId:
    return "timelineID";
  case ParamType::String:
    return "string";
  }
  return "string";
}

Json DescribeParam(const MethodParam& param) {
  Json described = {{"name", param.name},
                    {"type", TypeName(param.type)},
                    {"required", param.presence == Presence::Required}};
  if (!param.defaultValue.is_null()) described["default"] = param.defaultValue;
  if (param.minimum) described["minimum"] = *param.minimum;
  if (param.maximum) described["maximum"] = *param.maximum;
  if (param.nullable) described["nullable"] = true;
  described["summary"] = param.summary;
  return described;
}

Json DescribeMethods() {
  Json methods = Json::array();
  for (const Method& method : Methods()) {
    Json params = Json::array();
    for (const MethodParam& param : method.params)
      params.push_back(DescribeParam(param));
    methods.push_back({{"name", method.name},
                       {"summary", method.summary},
                       {"params", params},
                       {"result", DescribeMembers(method.result)}});
  }
  return methods;
}

Json Op(std::string_view op, std::string_view from, std::string_view summary,
        std::vector<Member> members) {
  Json described = Json::array({DescribeMember(Always("op", "string", "the op's name"))});
  for (Json& member : DescribeMembers(members))
    described.push_back(std::move(member));
  return {{"op", op}, {"from", from}, {"summary", summary}, {"members", std::move(described)}};
}

Member TopicList(std::string_view name, std::string_view summary) {
  Member list = ListOf(name, "string", summary);
  for (const Topic topic :
       {Topic::Transport, Topic::Marker, Topic::Vitals, Topic::Playhead, Topic::Sequence})
    list.values.push_back(TopicName(topic));
  return list;
}

Member ErrorMember() {
  Member code = Always("code", "string", "one of the error codes");
  for (const ErrorCodeInfo& info : ErrorCodes())
    code.values.push_back(info.name);
  return Always("error", "object", "what went wrong",
                {code, Always("message", "string", "a short English text"),
                 OrNull("param", "string", "the param at fault; absent when none is"),
                 OrNull("status", "integer", "host_error: the host's status; absent when none")});
}

// A client's id is required and never null; the server's is null when the client gave no
// usable one.
Member ClientIdMember(std::string_view summary) { return Always("id", "id", summary); }
Member ServerIdMember(std::string_view summary) { return OrNull("id", "id", summary); }

Json DescribeOps() {
  const Member authentication =
      OrNull("authentication", "object", "null, or the challenge when a password is set",
             {Always("challenge", "string", "base64 of 32 random bytes"),
              Always("salt", "string", "base64 of 32 random bytes")});
  const Member item =
      Always("result", "object", "one batch item's outcome",
             {Always("ok", "boolean", "whether the item succeeded"),
              Always("result", "object", "when ok: the method's result"), ErrorMember()});
  return Json::array({
      Op("hello", "server", "sent right after the 101",
         {Always("engine", "string", "\"ZYL Engine\""),
          Always("version", "string", "the engine's version"), Always("protocol", "integer", "2"),
          authentication}),
      Op("identify", "client", "the client's answer to hello",
         {Always("protocol", "integer", "2, required"),
          Always("authentication", "string",
                 "base64(SHA-256(K + C)) with K = base64(SHA-256(password + salt)); required "
                 "when hello carried a challenge (an identify without it fails as a wrong "
                 "answer does), ignored whatever it holds when hello carried none"),
          TopicList("subscriptions", "topics to hold from identified on; default none")}),
      Op("identified", "server", "the connection is open for requests",
         {Always("protocol", "integer", "2"),
          TopicList("subscriptions",
                    "the topics held, in the order transport, marker, vitals, playhead, sequence"),
          OrNull("serverProof", "string",
                 "base64(SHA-256(K + A + C)) when a password is set; absent otherwise")}),
      Op("request", "client", "runs one method",
         {ClientIdMember("echoed in the response"), Always("method", "string", "the method's name"),
          Always("params", "object", "the method's params; absent is the same as {}")}),
      Op("response", "server", "the outcome of a request, subscribe or unsubscribe",
         {ServerIdMember("the request's id; null when it had no usable one"),
          Always("ok", "boolean", "whether it succeeded"),
          Always("result", "object", "when ok: the result"), ErrorMember()}),
      Op("batch", "client", "up to 64 requests answered together, in order",
         {ClientIdMember("echoed in the batchResponse"),
          Always("haltOnFailure", "boolean", "stop at the first failing item; default false"),
          ListOf("requests", "object", "the items",
                 {Always("method", "string", "the method's name"),
                  Always("params", "object", "its params")})}),
      Op("batchResponse", "server", "the outcomes of a batch",
         {ServerIdMember("the batch's id; null when it had no usable one"),
          Always("ok", "boolean", "false when the batch as a whole was refused"),
          ListOf("results", "object", "when ok: one outcome per item run", item.members),
          ErrorMember()}),
      Op("subscribe", "client", "holds more topics; answered as a request",
         {ClientIdMember("echoed in the response"), TopicList("topics", "the topics to add")}),
      Op("unsubscribe", "client", "drops topics; answered as a request",
         {ClientIdMember("echoed in the response"), TopicList("topics", "the topics to drop")}),
      Op("event", "server", "a push of a held topic",
         {Always("topic", "string", "the topic"),
          Always("data", "object", "the push's data, as the topic describes it")}),
  });
}

Json DescribeErrors() {
  Json errors = Json::array();
  for (const ErrorCodeInfo& info : ErrorCodes()) {
    Json tokens = Json::array();
    for (const std::string_view token : info.textTokens)
      tokens.push_back(token);
    errors.push_back({{"code", info.name}, {"summary", info.summary}, {"protocol1", tokens}});
  }
  return errors;
}

Json DescribeTopics() {
  return Json::array(
      {{{"name", TopicName(Topic::Transport)},
        {"summary", "a transport change the host reported"},
        {"data", DescribeMembers(TransportEventMembers())}},
       {{"name", TopicName(Topic::Marker)},
        {"summary", "a marker change the host reported"},
        {"data", DescribeMembers(MarkerEventMembers())}},
       {{"name", TopicName(Topic::Vitals)},
        {"summary", "the vitals record, about once a second, as vitals.get gives "
                    "it but for what a comparison with the previous record tells"},
        {"data", DescribeMembers(VitalsMembers(false))}},
       {{"name", TopicName(Topic::Playhead)},
        {"summary", "playhead.get's record on the connection's timeline when a member but "
                    "ageMs changes (a new timecode, an edit under the playhead); at most one "
                    "push each 20 ms, the newest state winning and the last always sent; "
                    "nothing before the first timecode"},
        {"data", DescribeMembers(PlayheadMembers())}},
       {{"name", TopicName(Topic::Sequence)},
        {"summary", "sequence.get's record of the connection's timeline when it is first "
                    "known, when the timeline changes (a pin, the engine's current one "
                    "moving, a project switch) and when its settings change; nothing while "
                    "no timeline is known"},
        {"data", DescribeMembers(SequenceMembers())}}});
}

Json DescribeCloseCodes() {
  Json codes = Json::array();
  for (const CloseCodeInfo& info : kCloseCodes)
    codes.push_back(
        {{"code", CloseNumber(info.code)}, {"name", info.name}, {"summary", info.summary}});
  return codes;
}

std::string_view ArgumentKind(CommandArguments arguments) noexcept {
  switch (arguments) {
  case CommandArguments::None:
    return "none";
  case CommandArguments::Required:
    return "required";
  case CommandArguments::Optional:
    return "optional";
  }
  return "none";
}

Json DescribeTextCommands() {
  Json commands = Json::array();
  for (const Command& command : Commands())
    commands.push_back({{"name", command.name},
                        {"arguments", ArgumentKind(command.arguments)},
                        {"summary", command.summary}});
  return {{"commands", commands}};
}

} // namespace

Json DescribeProtocol() {
  return {{"protocol", kJsonProtocolVersion},
          {"subprotocol", kJsonSubprotocol},
          {"engineVersion", ZYL_ENGINE_VERSION},
          {"types", Types()},
          {"ops", DescribeOps()},
          {"methods", DescribeMethods()},
          {"errors", DescribeErrors()},
          {"topics", DescribeTopics()},
          {"closeCodes", DescribeCloseCodes()},
          {"protocol1", DescribeTextCommands()}};
}

} // namespace ZYL
