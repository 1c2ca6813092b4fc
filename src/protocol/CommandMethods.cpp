#include "host/HostCommands.h"
#include "protocol/JsonMethods.h"
#include "server/ValidUtf8.h"

#include <string>

namespace ZYL {

namespace {

ResponseError Error(ErrorCode code, std::string message) {
  return ResponseError{code, std::move(message), std::nullopt, std::nullopt};
}

// The host's commands as the text protocol lists them, texts exact (made valid UTF-8).
std::optional<std::vector<HostCommandTexts>> ListHostCommands(const HostSuites& host) {
  const std::optional<std::uint32_t> count = HostCommandCount(host);
  if (!count) return std::nullopt;
  std::vector<HostCommandTexts> commands;
  for (std::uint32_t index = 0; index < *count; ++index)
    if (std::optional<HostCommandTexts> texts = DescribeHostCommand(host, index))
      commands.push_back(std::move(*texts));
  return commands;
}

} // namespace

Outcome CommandsListMethod(EngineParts& engine, RequestParams&) {
  if (!HostCommandsAvailable(engine.host))
    return Error(ErrorCode::Unavailable, "the host offers no commands");
  const auto commands = ListHostCommands(engine.host);
  if (!commands) return Error(ErrorCode::HostError, "the host cannot count its commands");
  nlohmann::json list = nlohmann::json::array();
  // The host's texts come in the order id, name, category, description.
  for (const auto& [id, name, category, description] : *commands)
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
  if (!HostCommandsAvailable(engine.host))
    return Error(ErrorCode::Unavailable, "the host offers no commands");
  const auto commands = ListHostCommands(engine.host);
  if (!commands) return Error(ErrorCode::HostError, "the host cannot count its commands");
  bool listed = false;
  for (const HostCommandTexts& texts : *commands)
    listed = listed || texts[0] == *command;
  if (!listed) return Error(ErrorCode::UnknownCommand, "the host lists no such command");
  if (!ExecuteHostCommand(engine.host, *category, *command))
    return Error(ErrorCode::HostError, "the host could not take the command's texts");
  return nlohmann::json{{"command", *command}, {"category", *category}};
}

// Runs the host's own camera command, as the text protocol's multicam switch does.
Outcome MulticamMethod(EngineParts& engine, RequestParams& params) {
  const std::optional<std::int32_t> angle = params.Int32("angle", Presence::Required);
  if (params.Error()) return *params.Error();
  SwitchMulticamCamera(engine.host, *angle);
  return nlohmann::json{{"angle", *angle}};
}

} // namespace ZYL
