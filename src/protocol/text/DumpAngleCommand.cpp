#include "protocol/text/DumpAngleCommand.h"

#include "protocol/ErrorTokens.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"
#include "timeline/NodeDump.h"

#include <string>

namespace ZYL {

void DumpAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<TimeTrackArguments> arguments = SplitTimeTrack(rest);
  if (!arguments) {
    client.Send(ErrorReplyText(kDumpFamily, kParseToken));
    return;
  }
  DumpAngle(
      engine.timelines, arguments->ticks, arguments->track,
      [&client](const std::string& line) { client.Send(std::string(kDumpLinePrefix) + line); });
}

} // namespace ZYL
