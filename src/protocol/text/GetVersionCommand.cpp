#include "protocol/text/GetVersionCommand.h"

#include "protocol/text/ReplyKinds.h"

#include <string>

namespace ZYL {

void GetVersionCommand(EngineParts&, ReplySink& client, std::string_view) {
  static const std::string reply = ReplyText(kVersionKind, ZYL_ENGINE_VERSION);
  client.Send(reply);
}

} // namespace ZYL
