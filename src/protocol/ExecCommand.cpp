#include "protocol/CommandArguments.h"
#include "protocol/CommandEntries.h"
#include "protocol/HostCommandsAvailable.h"
#include "protocol/HostStringText.h"

#include <string>

namespace ZYL {

namespace {

// Hands the command to the host; false when a host string could not be made. Each string
// made here is disposed once on the way out, the category before the command.
bool ExecuteWithCategory(const ZYLEngineControlSurface& surface, const ExecArguments& arguments) {
  ScopedHostString command(surface.stringSuite);
  if (!AllocateHostString(surface.stringSuite, arguments.command, command)) return false;
  if (arguments.category.empty()) {
    surface.commandSuite->ExecuteCommand(surface.commandHost, nullptr, command.get());
    return true;
  }
  ScopedHostString category(surface.stringSuite);
  if (!AllocateHostString(surface.stringSuite, arguments.category, category)) return false;
  surface.commandSuite->ExecuteCommand(surface.commandHost, category.get(), command.get());
  return true;
}

} // namespace

// The reply confirms the hand-over only; the host does not say whether the command ran.
void ExecCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest) {
  // Clients tell a host without commands from their own mistakes by this order.
  if (!HostCommandsAvailable(surface)) {
    client.Send("exec.error:nosuite");
    return;
  }
  const std::optional<ExecArguments> arguments = SplitExec(rest);
  if (!arguments) {
    client.Send("exec.error:parse");
    return;
  }
  if (!ExecuteWithCategory(surface, *arguments)) {
    client.Send("exec.error:alloc");
    return;
  }
  client.Send(std::string("exec.ok:").append(rest));
}

} // namespace ZYL
