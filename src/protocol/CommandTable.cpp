#include "protocol/CommandTable.h"

#include <array>

namespace ZYL {
namespace {

using enum CommandArguments;

constexpr std::array kCommands{
    Command{"get.version", None, GetVersionCommand, true, false},
    Command{"get.info", None, GetInfoCommand, true, false},
    Command{"get.sequence", Optional, GetSequenceCommand, true, false},
    Command{"get.angle", Required, GetAngleCommand, true, false},
    Command{"get.angle.marker", Required, GetAngleMarkerCommand, true, false},
    Command{"get.clipsize", Required, GetClipSizeCommand, true, false},
    Command{"get.clipsize.marker", Required, GetClipSizeMarkerCommand, true, false},
    Command{"get.transitions", Required, GetTransitionsCommand, true, false},
    Command{"get.commands", None, GetCommandsCommand, true, false},
    Command{"exec", Required, ExecCommand, true, false},
    Command{"multicam.angle", Required, MulticamAngleCommand, true, false},
    Command{"vitals.subscribe", None, VitalsSubscribeCommand, true, false},
    Command{"dump.angle", Required, DumpAngleCommand, true, true},
    Command{"debug.tlscan", Required, TimelineScanCommand, true, true},
};

// Matching is byte-exact and case-sensitive, and nothing is trimmed.
bool Selects(const Command& command, std::string_view text, std::string_view& rest) noexcept {
  if (!text.starts_with(command.name)) return false;
  const std::string_view after = text.substr(command.name.size());
  if (after.empty()) {
    rest = after;
    return command.arguments != Required;
  }
  if (after.front() != ':' || command.arguments == None) return false;
  rest = after.substr(1);
  return true;
}

} // namespace

std::span<const Command> Commands() noexcept { return kCommands; }

const Command* FindCommand(std::string_view text, std::string_view& rest) noexcept {
  for (const Command& command : kCommands) {
    if (Selects(command, text, rest)) return &command;
  }
  return nullptr;
}

} // namespace ZYL
