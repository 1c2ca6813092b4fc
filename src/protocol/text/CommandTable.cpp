#include "protocol/text/CommandTable.h"

#include <array>

namespace ZYL {
namespace {

using enum CommandArguments;

constexpr std::array kCommands{
    Command{"get.version", None, GetVersionCommand, true, false, "the engine's version: version:V"},
    Command{"get.info", None, GetInfoCommand, true, false,
            "the engine's self-description: info:{...}"},
    Command{"get.sequence", Optional, GetSequenceCommand, true, false,
            "a sequence's timing and frame format, of the timeline ID when given: sequence:{...}"},
    Command{"get.angle", Required, GetAngleCommand, true, false,
            "the multicam angle at TICKS[:TRACK]: angle:N (0: none)"},
    Command{"get.angle.marker", Required, GetAngleMarkerCommand, true, false,
            "the multicam angle at the marker NAME[:TRACK], names folded to ASCII: angle:N"},
    Command{"get.clipsize", Required, GetClipSizeCommand, true, false,
            "the source frame size at TICKS:TRACK or TICKS:END:TRACK: clipsize:W:H (0:0: none)"},
    Command{"get.clipsize.marker", Required, GetClipSizeMarkerCommand, true, false,
            "the source frame size at the marker NAME[:TRACK]: clipsize:W:H"},
    Command{"get.transitions", Required, GetTransitionsCommand, true, false,
            "the transitions at the ends of the clip START:END:TRACK: transitions:IN:D:OUT:D"},
    Command{"get.commands", None, GetCommandsCommand, true, false,
            "the editor's commands, one commands: reply each"},
    Command{"exec", Required, ExecCommand, true, false,
            "runs the editor command CATEGORY:ID (the category may be empty)"},
    Command{"multicam.angle", Required, MulticamAngleCommand, true, false,
            "switches the multicam angle to N (1 to 16)"},
    Command{"vitals.subscribe", None, VitalsSubscribeCommand, true, false,
            "pushes transport and marker events and the vitals record from now on"},
    Command{"dump.angle", Required, DumpAngleCommand, true, true,
            "the render trees at TICKS[:TRACK], one [dump] line each"},
    Command{"debug.tlscan", Required, TimelineScanCommand, true, true,
            "probes the timeline ids FROM:TO[:BUDGETMS]: tlscan:{...}"},
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
