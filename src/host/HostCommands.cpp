#include "host/HostCommands.h"

#include "host/HostStringText.h"

#include <string>

namespace ZYL {

bool HostCommandsAvailable(const HostSuites& host) noexcept {
  const hostsdk::HostCommandSuite1* commands = host.commandSuite;
  const hostsdk::StringSuite1* strings = host.stringSuite;
  return commands != nullptr && host.commandHost != nullptr && strings != nullptr &&
         commands->GetCommandCount != nullptr && commands->DescribeCommand != nullptr &&
         commands->ExecuteCommand != nullptr && strings->DisposeString != nullptr &&
         strings->AllocateFromUtf8 != nullptr && strings->CopyToUtf8 != nullptr;
}

// Each string made here is disposed once on the way out, the category before the command.
HostOutcome ExecuteHostCommand(const HostSuites& host, std::string_view category,
                               std::string_view command) {
  ScopedHostString commandText(host.stringSuite);
  if (HostOutcome made = AllocateHostString(host.stringSuite, command, commandText); !made)
    return made;
  if (category.empty()) {
    host.commandSuite->ExecuteCommand(host.commandHost, nullptr, commandText.get());
    return {true, std::nullopt};
  }
  ScopedHostString categoryText(host.stringSuite);
  if (HostOutcome made = AllocateHostString(host.stringSuite, category, categoryText); !made)
    return made;
  host.commandSuite->ExecuteCommand(host.commandHost, categoryText.get(), commandText.get());
  return {true, std::nullopt};
}

void RunHostCommand(const HostSuites& host, std::string_view name) {
  if (!HostCommandsAvailable(host)) return;
  ScopedHostString hostName(host.stringSuite);
  if (!AllocateHostString(host.stringSuite, name, hostName)) return;
  host.commandSuite->ExecuteCommand(host.commandHost, nullptr, hostName.get());
}

void SwitchMulticamCamera(const HostSuites& host, std::int32_t camera) {
  RunHostCommand(host, "cmd.multicam.choosenocut.camera" + std::to_string(camera));
}

hostsdk::ErrorCode HostCommandCount(const HostSuites& host, std::uint32_t& count) {
  return host.commandSuite->GetCommandCount(host.commandHost, &count);
}

std::optional<HostCommandTexts> DescribeHostCommand(const HostSuites& host, std::uint32_t index) {
  const hostsdk::StringSuite1* strings = host.stringSuite;
  std::array<ScopedHostString, 4> fields{ScopedHostString(strings), ScopedHostString(strings),
                                         ScopedHostString(strings), ScopedHostString(strings)};
  if (host.commandSuite->DescribeCommand(host.commandHost, index, fields[0].get(), fields[1].get(),
                                         fields[2].get(), fields[3].get()) != hostsdk::kSuccess)
    return std::nullopt;
  for (ScopedHostString& field : fields)
    field.MarkFilled();
  HostCommandTexts texts;
  for (std::size_t i = 0; i < fields.size(); ++i)
    texts[i] = HostStringToUtf8(strings, *fields[i].get());
  for (ScopedHostString& field : fields)
    field.Dispose();
  return texts;
}

} // namespace ZYL
