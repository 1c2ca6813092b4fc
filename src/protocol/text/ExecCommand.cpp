#include "protocol/text/ExecCommand.h"

#include "host/HostCommands.h"
#include "protocol/ErrorTokens.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"

#include <string>

namespace ZYL {

// The reply confirms the hand-over only; the host does not say whether the command ran.
void ExecCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  // Clients tell a host without commands from their own mistakes by this order.
  if (!HostCommandsAvailable(engine.host)) {
    client.Send(ErrorReplyText(kExecFamily, kNoSuiteToken));
    return;
  }
  const std::optional<ExecArguments> arguments = SplitExec(rest);
  if (!arguments) {
    client.Send(ErrorReplyText(kExecFamily, kParseToken));
    return;
  }
  if (!ExecuteHostCommand(engine.host, arguments->category, arguments->command)) {
    client.Send(ErrorReplyText(kExecFamily, kAllocToken));
    return;
  }
  client.Send(ReplyText(kExecOkKind, rest));
}

} // namespace ZYL
