#include "protocol/json/methods/CommandMethods.h"

#include "host/HostCommands.h"
#include "protocol/json/JsonMethodTable.h"
#include "server/ValidUtf8.h"

#include <string>
#include <variant>

namespace ZYL {

namespace {

ResponseError Error(ErrorCode code, std::string message,
                    std::optional<std::int64_t> status = std::nullopt) {
  return ResponseError{code, std::move(message), std::nullopt, status};
}

ResponseError NoCommands() { return Error(ErrorCode::Unavailable, "the host offers no commands"); }

using CommandsOrError = std::variant<std::vector<HostCommandTexts>, ResponseError>;

// The host's commands as the text protocol lists them, texts exact.
CommandsOrError ListHostCommands(const HostSuites& host) {
  if (!HostCommandsAvailable(host)) return NoCommands();
  std::uint32_t count = 0;
  if (const hostsdk::ErrorCode status = HostCommandCount(host, count); status != hostsdk::kSuccess)
    return Error(ErrorCode::HostError, "the host cannot count its commands", status);
  std::vector<HostCommandTexts> commands;
  for (std::uint32_t index = 0; index < count; ++index)
    if (std::optional<HostCommandTexts> texts = DescribeHostCommand(host, index))
      commands.push_back(std::move(*texts));
  return commands;
}

} // namespace

Outcome CommandsListMethod(EngineParts& engine, RequestParams&) {
  const CommandsOrError commands = ListHostCommands(engine.host);
  if (const auto* error = std::get_if<ResponseError>(&commands)) return *error;
  nlohmann::json list = nlohmann::json::array();
  // The host's texts come in the order id, name, category, description.
  for (const auto& [id, name, category, description] :
       std::get<std::vector<HostCommandTexts>>(commands))
    list.push_back({{"id", ToValidUtf8(id)},
                    {"category", ToValidUtf8(category)},
                    {"name", ToValidUtf8(name)},
                    {"description", ToValidUtf8(description)}});
  return nlohmann::json{{"commands", list}};
}

Outcome CommandsRunMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::string> command = params.String("command", Presence::Required);
  const std::optional<std::string> category = params.String("category", Presence::Required);
  if (params.Error()) return *params.Error();
  const CommandsOrError commands = ListHostCommands(engine.host);
  if (const auto* error = std::get_if<ResponseError>(&commands)) return *error;
  bool listed = false;
  for (const HostCommandTexts& texts : std::get<std::vector<HostCommandTexts>>(commands))
    listed = listed || texts[0] == *command;
  if (!listed) return Error(ErrorCode::UnknownCommand, "the host lists no such command");
  if (const HostOutcome ran = ExecuteHostCommand(engine.host, *category, *command); !ran)
    return Error(ErrorCode::HostError, "the host could not take the command's texts", ran.refusal);
  return nlohmann::json{{"command", *command}, {"category", *category}};
}

// Runs the host's own camera command, as the text protocol's multicam switch does; unlike
// that switch it tells a client that the host offers no commands to run.
Outcome MulticamMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> angle = params.Int32("angle", Presence::Required);
  if (params.Error()) return *params.Error();
  if (!HostCommandsAvailable(engine.host)) return NoCommands();
  SwitchMulticamCamera(engine.host, *angle);
  return nlohmann::json{{"angle", *angle}};
}

} // namespace ZYL
