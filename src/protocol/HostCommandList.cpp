#include "protocol/CommandEntries.h"
#include "protocol/HostCommandsAvailable.h"
#include "protocol/HostStringText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace ZYL {

namespace {

// Colons separate the reply's fields, so none may appear inside one.
std::string CommandField(const hostsdk::StringSuite1* strings, const ScopedHostString& field) {
  std::string text = HostStringToUtf8(strings, *field.get());
  std::replace(text.begin(), text.end(), ':', ';');
  return text;
}

// Sends the "command:" reply of one host command; a command the host cannot describe is
// left out without a word.
void SendCommandDescription(const ZYLEngineControlSurface& surface, ReplySink& client,
                            std::uint32_t index) {
  const hostsdk::StringSuite1* strings = surface.stringSuite;
  std::array<ScopedHostString, 4> fields{ScopedHostString(strings), ScopedHostString(strings),
                                         ScopedHostString(strings), ScopedHostString(strings)};
  if (surface.commandSuite->DescribeCommand(surface.commandHost, index, fields[0].get(),
                                            fields[1].get(), fields[2].get(),
                                            fields[3].get()) != hostsdk::kSuccess)
    return;
  for (ScopedHostString& field : fields)
    field.MarkFilled();
  // Clients expect the host's first, third, second and fourth strings in that order.
  client.Send("command:" + CommandField(strings, fields[0]) + ":" +
              CommandField(strings, fields[2]) + ":" + CommandField(strings, fields[1]) + ":" +
              CommandField(strings, fields[3]));
  for (ScopedHostString& field : fields)
    field.Dispose();
}

} // namespace

void GetCommandsCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view) {
  if (!HostCommandsAvailable(surface)) {
    client.Send("commands.error:nosuite");
    return;
  }
  std::uint32_t count = 0;
  if (surface.commandSuite->GetCommandCount(surface.commandHost, &count) != hostsdk::kSuccess) {
    client.Send("commands.error:count");
    return;
  }
  for (std::uint32_t index = 0; index < count; ++index)
    SendCommandDescription(surface, client, index);
  // The host's count, also when some commands were left out.
  client.Send("commands.done:" + std::to_string(count));
}

} // namespace ZYL
