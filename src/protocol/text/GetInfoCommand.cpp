#include "protocol/text/GetInfoCommand.h"

#include "protocol/InfoRecord.h"
#include "protocol/text/ReplyKinds.h"

#include <string>

namespace ZYL {

void GetInfoCommand(EngineParts&, ReplySink& client, std::string_view) {
  static const std::string reply = ReplyText(kInfoKind, InfoRecord());
  client.Send(reply);
}

} // namespace ZYL
