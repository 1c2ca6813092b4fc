#include "protocol/text/GetCommandsCommand.h"

#include "host/HostCommands.h"
#include "protocol/ErrorTokens.h"
#include "protocol/text/ReplyKinds.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace ZYL {

namespace {

// Colons separate the reply's fields, so none may appear inside one.
std::string CommandField(std::string text) {
  std::replace(text.begin(), text.end(), ':', ';');
  return text;
}

} // namespace

void GetCommandsCommand(EngineParts& engine, ReplySink& client, std::string_view) {
  if (!HostCommandsAvailable(engine.host)) {
    client.Send(ErrorReplyText(kCommandsFamily, kNoSuiteToken));
    return;
  }
  std::uint32_t count = 0;
  if (HostCommandCount(engine.host, count) != hostsdk::kSuccess) {
    client.Send(ErrorReplyText(kCommandsFamily, kCountToken));
    return;
  }
  for (std::uint32_t index = 0; index < count; ++index) {
    // A command the host cannot describe is left out without a word.
    const std::optional<HostCommandTexts> texts = DescribeHostCommand(engine.host, index);
    if (!texts) continue;
    // Clients expect the host's first, third, second and fourth strings in that order.
    const auto& [first, second, third, fourth] = *texts;
    client.Send(ReplyText(kCommandLineKind, CommandField(first) + ":" + CommandField(third) + ":" +
                                                CommandField(second) + ":" + CommandField(fourth)));
  }
  // The host's count, also when some commands were left out.
  client.Send(ReplyText(kCommandsDoneKind, std::to_string(count)));
}

} // namespace ZYL
