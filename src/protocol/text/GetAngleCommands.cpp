#include "protocol/text/CommandArguments.h"
#include "protocol/text/CommandTable.h"
#include "timeline/TimelineQueries.h"

#include <string>

namespace ZYL {

namespace {

void SendClipSize(ReplySink& client, const FrameSize& size) {
  client.Send("clipsize:" + std::to_string(size.width) + ":" + std::to_string(size.height));
}

} // namespace

void GetAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<TimeTrackArguments> arguments = SplitTimeTrack(rest);
  if (!arguments) {
    client.Send("angle.error:parse");
    return;
  }
  client.Send("angle:" +
              std::to_string(FindAngleAtTime(engine.timelines, arguments->ticks, arguments->track)));
}

// A marker name may itself hold colons, so an unreadable track counts as "any track" rather
// than as a malformed request.
void GetAngleMarkerCommand(EngineParts& engine, ReplySink& client,
                           std::string_view rest) {
  const MarkerArguments arguments = SplitMarker(rest);
  client.Send("angle:" +
              std::to_string(FindAngleAtMarker(engine.timelines, arguments.name, arguments.track)));
}

void GetClipSizeCommand(EngineParts& engine, ReplySink& client,
                        std::string_view rest) {
  const std::optional<ClipSizeArguments> arguments = SplitClipSize(rest);
  if (!arguments) {
    client.Send("clipsize.error:parse");
    return;
  }
  SendClipSize(client, FindSizeAtTime(engine.timelines, arguments->ticks, arguments->end,
                                      arguments->track));
}

void GetClipSizeMarkerCommand(EngineParts& engine, ReplySink& client,
                              std::string_view rest) {
  const MarkerArguments arguments = SplitMarker(rest);
  SendClipSize(client, FindSizeAtMarker(engine.timelines, arguments.name, arguments.track));
}

void GetTransitionsCommand(EngineParts& engine, ReplySink& client,
                           std::string_view rest) {
  const std::optional<TransitionsArguments> arguments = SplitTransitions(rest);
  if (!arguments) {
    client.Send("transitions.error:parse");
    return;
  }
  const std::optional<ClipTransitions> found =
      FindClipTransitions(engine.timelines, arguments->start, arguments->end, arguments->track);
  if (!found) {
    client.Send("transitions.error:noclip");
    return;
  }
  client.Send("transitions:" + found->in.name + ":" + std::to_string(found->in.duration) + ":" +
              found->out.name + ":" + std::to_string(found->out.duration));
}

void DumpAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<TimeTrackArguments> arguments = SplitTimeTrack(rest);
  if (!arguments) {
    client.Send("dump.error:parse");
    return;
  }
  DumpAngle(engine.timelines, arguments->ticks, arguments->track,
            [&client](const std::string& line) { client.Send("[dump] " + line); });
}

// A diagnostic: a malformed range scans nothing instead of answering with an error.
void TimelineScanCommand(EngineParts& engine, ReplySink& client,
                         std::string_view rest) {
  const TimelineScanArguments arguments = SplitTimelineScan(rest);
  client.Send("tlscan:" + ScanTimelineRange(engine.timelines, arguments.from, arguments.to,
                                            arguments.budgetMs));
}

} // namespace ZYL
