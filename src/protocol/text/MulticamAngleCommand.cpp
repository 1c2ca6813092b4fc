#include "protocol/text/MulticamAngleCommand.h"

#include "host/DecimalText.h"
#include "host/HostCommands.h"
#include "protocol/ErrorTokens.h"
#include "protocol/text/ReplyKinds.h"

#include <string>

namespace ZYL {

// Switches through the host's own camera command, so the engine needs no knowledge of the
// timeline. The host does not report back; the reply echoes the converted number.
void MulticamAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<std::int32_t> camera = ParseInt32(rest);
  if (!camera) {
    client.Send(ErrorReplyText(kMulticamAngleFamily, kParseToken));
    return;
  }
  if (*camera < kFirstCamera || *camera > kLastCamera) {
    client.Send(ErrorReplyText(kMulticamAngleFamily, kRangeToken));
    return;
  }
  SwitchMulticamCamera(engine.host, *camera);
  client.Send(ReplyText(kMulticamAngleOkKind, std::to_string(*camera)));
}

} // namespace ZYL
