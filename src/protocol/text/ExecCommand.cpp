#include "host/HostCommands.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/CommandTable.h"

#include <string>

namespace ZYL {

// The reply confirms the hand-over only; the host does not say whether the command ran.
void ExecCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  // Clients tell a host without commands from their own mistakes by this order.
  if (!HostCommandsAvailable(engine.host)) {
    client.Send("exec.error:nosuite");
    return;
  }
  const std::optional<ExecArguments> arguments = SplitExec(rest);
  if (!arguments) {
    client.Send("exec.error:parse");
    return;
  }
  if (!ExecuteHostCommand(engine.host, arguments->category, arguments->command)) {
    client.Send("exec.error:alloc");
    return;
  }
  client.Send(std::string("exec.ok:").append(rest));
}

} // namespace ZYL
