#include "protocol/CommandArguments.h"
#include "protocol/CommandEntries.h"
#include "timeline/TimelineCommands.h"

namespace ZYL {

void GetAngleCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest) {
  const std::optional<TimeTrackArguments> arguments = SplitTimeTrack(rest);
  if (!arguments) {
    client.Send("angle.error:parse");
    return;
  }
  HandleGetAngle(surface, client, arguments->ticks, arguments->track);
}

// A marker name may itself hold colons, so an unreadable track counts as "any track" rather
// than as a malformed request.
void GetAngleMarkerCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                           std::string_view rest) {
  const MarkerArguments arguments = SplitMarker(rest);
  HandleGetAngleMarker(surface, client, arguments.name, arguments.track);
}

void GetClipSizeCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                        std::string_view rest) {
  const std::optional<ClipSizeArguments> arguments = SplitClipSize(rest);
  if (!arguments) {
    client.Send("clipsize.error:parse");
    return;
  }
  HandleGetClipSize(surface, client, arguments->ticks, arguments->end, arguments->track);
}

void GetClipSizeMarkerCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                              std::string_view rest) {
  const MarkerArguments arguments = SplitMarker(rest);
  HandleGetClipSizeMarker(surface, client, arguments.name, arguments.track);
}

void GetTransitionsCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                           std::string_view rest) {
  const std::optional<TransitionsArguments> arguments = SplitTransitions(rest);
  if (!arguments) {
    client.Send("transitions.error:parse");
    return;
  }
  HandleGetTransitions(surface, client, arguments->start, arguments->end, arguments->track);
}

void DumpAngleCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest) {
  const std::optional<TimeTrackArguments> arguments = SplitTimeTrack(rest);
  if (!arguments) {
    client.Send("dump.error:parse");
    return;
  }
  HandleDumpAngle(surface, client, arguments->ticks, arguments->track);
}

// A diagnostic: a malformed range scans nothing instead of answering with an error.
void TimelineScanCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                         std::string_view rest) {
  const TimelineScanArguments arguments = SplitTimelineScan(rest);
  HandleTimelineScan(surface, client, arguments.from, arguments.to, arguments.budgetMs);
}

} // namespace ZYL
