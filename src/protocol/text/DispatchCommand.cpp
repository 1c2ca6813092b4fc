#include "protocol/text/DispatchCommand.h"

#include "host/HostCommands.h"
#include "protocol/text/CommandTable.h"

namespace ZYL {

// Runs on the connection's thread. Argument conversion never throws: each command's handler
// turns an unconvertible argument into that command's own parse reaction. Anything else a
// command throws (memory exhaustion while a reply is built, say) is deliberately left to
// propagate: the connection thread catches it and ends that one connection, which is the
// only safe answer once a reply may be half built.
void DispatchCommand(EngineParts& engine, ReplySink& client, std::string_view text) {
  std::string_view rest;
  if (const Command* command = FindCommand(text, rest)) {
    command->handler(engine, client, rest);
    return;
  }
  // Any other text is the name of a host command; whether or not the host knows it, the
  // client hears nothing back.
  RunHostCommand(engine.host, text);
}

} // namespace ZYL
