#include "protocol/text/GetClipSizeCommands.h"

#include "protocol/ErrorTokens.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"
#include "timeline/ClipSizeQueries.h"

#include <string>

namespace ZYL {

namespace {

void SendClipSize(ReplySink& client, const FrameSize& size) {
  client.Send(
      ReplyText(kClipSizeKind, std::to_string(size.width) + ":" + std::to_string(size.height)));
}

} // namespace

void GetClipSizeCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<ClipSizeArguments> arguments = SplitClipSize(rest);
  if (!arguments) {
    client.Send(ErrorReplyText(kClipSizeKind, kParseToken));
    return;
  }
  SendClipSize(
      client, FindSizeAtTime(engine.timelines, arguments->ticks, arguments->end, arguments->track));
}

void GetClipSizeMarkerCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const MarkerArguments arguments = SplitMarker(rest);
  SendClipSize(client, FindSizeAtMarker(engine.timelines, arguments.name, arguments.track));
}

} // namespace ZYL
