#include "protocol/text/GetAngleCommands.h"

#include "protocol/ErrorTokens.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"
#include "timeline/AngleQueries.h"

#include <string>

namespace ZYL {

void GetAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<TimeTrackArguments> arguments = SplitTimeTrack(rest);
  if (!arguments) {
    client.Send(ErrorReplyText(kAngleKind, kParseToken));
    return;
  }
  client.Send(ReplyText(kAngleKind, std::to_string(FindAngleAtTime(
                                        engine.timelines, arguments->ticks, arguments->track))));
}

// A marker name may itself hold colons, so an unreadable track counts as "any track" rather
// than as a malformed request.
void GetAngleMarkerCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const MarkerArguments arguments = SplitMarker(rest);
  client.Send(ReplyText(kAngleKind, std::to_string(FindAngleAtMarker(
                                        engine.timelines, arguments.name, arguments.track))));
}

} // namespace ZYL
