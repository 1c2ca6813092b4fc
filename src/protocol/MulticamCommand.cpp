#include "host/HostCommands.h"
#include "host/HostCommands.h"
#include "protocol/CommandArguments.h"
#include "protocol/CommandTable.h"

#include <string>

namespace ZYL {

namespace {

constexpr std::int32_t kFirstCamera = 1;
constexpr std::int32_t kLastCamera = 16;

} // namespace

// Switches through the host's own camera command, so the engine needs no knowledge of the
// timeline. The host does not report back; the reply echoes the converted number.
void MulticamAngleCommand(EngineParts& engine, ReplySink& client,
                          std::string_view rest) {
  const std::optional<std::int32_t> camera = ParseInt32(rest);
  if (!camera) {
    client.Send("multicam.angle.error:parse");
    return;
  }
  if (*camera < kFirstCamera || *camera > kLastCamera) {
    client.Send("multicam.angle.error:range");
    return;
  }
  const std::string number = std::to_string(*camera);
  RunHostCommand(engine.host, "cmd.multicam.choosenocut.camera" + number);
  client.Send("multicam.angle.ok:" + number);
}

} // namespace ZYL
