#include "protocol/CommandTable.h"
#include "protocol/JsonMethods.h"

#include <string>

namespace ZYL {

namespace {

using Json = nlohmann::json;
constexpr auto kOptional = Presence::Optional;
constexpr auto kRequired = Presence::Required;
constexpr auto kInteger = ParamType::Integer;
constexpr auto kString = ParamType::String;

std::vector<Method> BuildMethods() {
  return {
      {"version", {}, VersionMethod},
      {"protocol.describe", {}, DescribeMethod},
      {"info", {}, InfoMethod},
      {"commands.list", {}, CommandsListMethod},
      {"commands.run",
       {{"command", kString, kRequired}, {"category", kString, kOptional}},
       CommandsRunMethod},
      {"multicam.setAngle", {{"angle", kInteger, kRequired}}, MulticamMethod},
      {"sequence.get", {{"timeline", kInteger, kOptional}}, SequenceMethod},
      {"angle.get", {{"ticks", kInteger, kRequired}, {"track", kInteger, kOptional}}, AngleMethod},
      {"transport.get", {}, TransportMethod},
      {"debug.dumpAngle",
       {{"ticks", kInteger, kRequired}, {"track", kInteger, kOptional}},
       DumpAngleMethod},
      {"debug.timelineScan",
       {{"from", kInteger, kOptional},
        {"to", kInteger, kOptional},
        {"budgetMs", kInteger, kOptional}},
       TimelineScanMethod},
  };
}

std::string_view TypeName(ParamType type) noexcept {
  return type == ParamType::Integer ? "integer" : "string";
}

} // namespace

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = BuildMethods();
  return methods;
}

Outcome RunMethod(EngineParts& engine, std::string_view name, const Json& params) {
  for (const Method& method : Methods()) {
    if (method.name != name) continue;
    std::vector<std::string_view> known;
    for (const MethodParam& param : method.params)
      known.push_back(param.name);
    RequestParams reader(params);
    reader.RejectUnknown(known);
    if (reader.Error()) return *reader.Error();
    return method.handler(engine, reader);
  }
  return ResponseError{ErrorCode::UnknownMethod, "unknown method " + Json(std::string(name)).dump(),
                       std::nullopt, std::nullopt};
}

Json DescribeProtocol() {
  Json methods = Json::array();
  for (const Method& method : Methods()) {
    Json params = Json::array();
    for (const MethodParam& param : method.params)
      params.push_back({{"name", param.name},
                        {"type", TypeName(param.type)},
                        {"required", param.presence == Presence::Required}});
    methods.push_back({{"name", method.name}, {"params", params}});
  }
  Json errors = Json::array();
  for (const ErrorCode code :
       {ErrorCode::InvalidRequest, ErrorCode::UnknownMethod, ErrorCode::InvalidParams,
        ErrorCode::NotFound, ErrorCode::Unavailable, ErrorCode::HostError,
        ErrorCode::UnknownCommand, ErrorCode::TooMany})
    errors.push_back(ErrorCodeName(code));
  Json topics = Json::array();
  for (const Topic topic : {Topic::Transport, Topic::Marker, Topic::Vitals})
    topics.push_back(TopicName(topic));
  Json textCommands = Json::array();
  for (const Command& command : Commands())
    textCommands.push_back(command.name);
  return {{"protocol", kJsonProtocolVersion},
          {"ops",
           {"hello", "identify", "identified", "request", "response", "batch", "batchResponse",
            "subscribe", "unsubscribe", "event"}},
          {"methods", methods},
          {"errors", errors},
          {"topics", topics},
          {"closeCodes", {1001, 1002, 1003, 1007, 1009, 4000, 4001, 4002, 4003, 4004, 4005, 4006}},
          {"textCommands", textCommands}};
}

} // namespace ZYL
