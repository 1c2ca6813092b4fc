#include "host/HostCommands.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/CommandTable.h"

#include <string>

namespace ZYL {

// Switches through the host's own camera command, so the engine needs no knowledge of the
// timeline. The host does not report back; the reply echoes the converted number.
void MulticamAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<std::int32_t> camera = ParseInt32(rest);
  if (!camera) {
    client.Send("multicam.angle.error:parse");
    return;
  }
  if (*camera < kFirstCamera || *camera > kLastCamera) {
    client.Send("multicam.angle.error:range");
    return;
  }
  SwitchMulticamCamera(engine.host, *camera);
  client.Send("multicam.angle.ok:" + std::to_string(*camera));
}

} // namespace ZYL
