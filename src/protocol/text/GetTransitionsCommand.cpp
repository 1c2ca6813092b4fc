#include "protocol/text/GetTransitionsCommand.h"

#include "protocol/ErrorTokens.h"
#include "protocol/text/CommandArguments.h"
#include "protocol/text/ReplyKinds.h"
#include "timeline/TransitionsQuery.h"

#include <string>

namespace ZYL {

void GetTransitionsCommand(EngineParts& engine, ReplySink& client, std::string_view rest) {
  const std::optional<TransitionsArguments> arguments = SplitTransitions(rest);
  if (!arguments) {
    client.Send(ErrorReplyText(kTransitionsKind, kParseToken));
    return;
  }
  const std::optional<ClipTransitions> found =
      FindClipTransitions(engine.timelines, arguments->start, arguments->end, arguments->track);
  if (!found) {
    client.Send(ErrorReplyText(kTransitionsKind, kNoClipToken));
    return;
  }
  client.Send(
      ReplyText(kTransitionsKind, found->in.name + ":" + std::to_string(found->in.duration) + ":" +
                                      found->out.name + ":" + std::to_string(found->out.duration)));
}

} // namespace ZYL
