#include "protocol/text/DebugTlscanCommand.h"

#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"
#include "timeline/TimelineScan.h"

namespace ZYL {

// A diagnostic: a malformed range scans nothing instead of answering with an error.
void DebugTlscanCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const TimelineScanArguments arguments = SplitTimelineScan(rest);
  client.Send(ReplyText(kTimelineScanKind, ScanTimelineRange(engine.timelines, arguments.from,
                                                             arguments.to, arguments.budgetMs)));
}

} // namespace ZYL
