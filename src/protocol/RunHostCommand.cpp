#include "host/ZYLEngineControlSurface.h"
#include "protocol/HostCommandsAvailable.h"
#include "protocol/HostStringText.h"

namespace ZYL {

// Fire and forget: the caller never learns whether the host knew the command, and missing
// suites make this a silent no-op.
void ZYLEngineControlSurface::RunHostCommand(std::string_view name) {
  if (!HostCommandsAvailable(*this)) return;
  ScopedHostString hostName(stringSuite);
  if (!AllocateHostString(stringSuite, name, hostName)) return;
  commandSuite->ExecuteCommand(commandHost, nullptr, hostName.get());
}

} // namespace ZYL
