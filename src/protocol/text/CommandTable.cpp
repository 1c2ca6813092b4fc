#include "protocol/text/CommandTable.h"

#include "protocol/ErrorTokens.h"
#include "protocol/RecordMembers.h"
#include "protocol/text/DebugTlscanCommand.h"
#include "protocol/text/DumpAngleCommand.h"
#include "protocol/text/ExecCommand.h"
#include "protocol/text/GetAngleCommands.h"
#include "protocol/text/GetClipSizeCommands.h"
#include "protocol/text/GetCommandsCommand.h"
#include "protocol/text/GetInfoCommand.h"
#include "protocol/text/GetSequenceCommand.h"
#include "protocol/text/GetTransitionsCommand.h"
#include "protocol/text/GetVersionCommand.h"
#include "protocol/text/MulticamAngleCommand.h"
#include "protocol/text/ReplyKinds.h"
#include "protocol/text/VitalsSubscribeCommand.h"

#include <array>

namespace ZYL {
namespace {

using enum ArgumentShape;

// The reply kinds and error tokens of the rows below.
constexpr std::string_view kVersionReplies[] = {kVersionKind};
constexpr std::string_view kInfoReplies[] = {kInfoKind};
constexpr std::string_view kSequenceReplies[] = {kSequenceKind};
constexpr std::string_view kSequenceErrors[] = {kParseToken, kNoTimelineToken, kNoSuiteToken,
                                                kHostStatusToken};
constexpr std::string_view kAngleReplies[] = {kAngleKind};
constexpr std::string_view kClipSizeReplies[] = {kClipSizeKind};
constexpr std::string_view kTransitionsReplies[] = {kTransitionsKind};
constexpr std::string_view kTransitionsErrors[] = {kParseToken, kNoClipToken};
constexpr std::string_view kCommandsReplies[] = {kCommandLineKind, kCommandsDoneKind};
constexpr std::string_view kCommandsErrors[] = {kNoSuiteToken, kCountToken};
constexpr std::string_view kExecReplies[] = {kExecOkKind};
constexpr std::string_view kExecErrors[] = {kNoSuiteToken, kParseToken, kAllocToken};
constexpr std::string_view kMulticamAngleReplies[] = {kMulticamAngleOkKind};
constexpr std::string_view kMulticamAngleErrors[] = {kParseToken, kRangeToken};
constexpr std::string_view kDumpReplies[] = {kDumpLinePrefix};
constexpr std::string_view kTimelineScanReplies[] = {kTimelineScanKind};
constexpr std::string_view kParseOnly[] = {kParseToken};
constexpr std::span<const std::string_view> kNothing;

constexpr std::array kCommands{
    Command{"get.version", None, GetVersionCommand, true, false, "the engine's version: version:V",
            "get.version", kVersionKind, kVersionReplies, kNothing},
    Command{"get.info", None, GetInfoCommand, true, false,
            "the engine's self-description: info:{...}", "get.info", kInfoKind, kInfoReplies,
            kNothing, "", InfoMembers},
    Command{"get.sequence", Optional, GetSequenceCommand, true, false,
            "a sequence's timing and frame format, of the timeline ID when given: sequence:{...}",
            "get.sequence[:TIMELINE]", kSequenceKind, kSequenceReplies, kSequenceErrors,
            "TIMELINE: a timeline id (default: the best known)", SequenceMembers},
    Command{"get.angle", Required, GetAngleCommand, true, false,
            "the multicam angle at TICKS[:TRACK]: angle:N (0: none)", "get.angle:TICKS[:TRACK]",
            kAngleKind, kAngleReplies, kParseOnly, "TRACK -1 or absent: any track"},
    Command{"get.angle.marker", Required, GetAngleMarkerCommand, true, false,
            "the multicam angle at the marker NAME[:TRACK], names folded to ASCII: angle:N",
            "get.angle.marker:NAME[:TRACK]", kAngleKind, kAngleReplies, kNothing,
            "TRACK -1 or absent: any track"},
    Command{"get.clipsize", Required, GetClipSizeCommand, true, false,
            "the source frame size at TICKS:TRACK or TICKS:END:TRACK: clipsize:W:H (0:0: none)",
            "get.clipsize:TICKS[:END]:TRACK", kClipSizeKind, kClipSizeReplies, kParseOnly,
            "TRACK -1: any track"},
    Command{"get.clipsize.marker", Required, GetClipSizeMarkerCommand, true, false,
            "the source frame size at the marker NAME[:TRACK]: clipsize:W:H",
            "get.clipsize.marker:NAME[:TRACK]", kClipSizeKind, kClipSizeReplies, kNothing,
            "names folded to ASCII; TRACK -1 or absent: any track"},
    Command{"get.transitions", Required, GetTransitionsCommand, true, false,
            "the transitions at the ends of the clip START:END:TRACK: transitions:IN:D:OUT:D",
            "get.transitions:START:END:TRACK", kTransitionsKind, kTransitionsReplies,
            kTransitionsErrors, "a side without a transition: \"-\" and 0"},
    Command{"get.commands", None, GetCommandsCommand, true, false,
            "the editor's commands, one commands: reply each", "get.commands", kCommandsFamily,
            kCommandsReplies, kCommandsErrors,
            "command:ID:CATEGORY:NAME:DESCRIPTION each (\":\" inside a field becomes \";\"), then "
            "commands.done:COUNT"},
    Command{"exec", Required, ExecCommand, true, false,
            "runs the editor command CATEGORY:ID (the category may be empty)", "exec:CATEGORY:ID",
            kExecFamily, kExecReplies, kExecErrors,
            "ID may hold \":\"; the reply echoes both: exec.ok:CATEGORY:ID"},
    Command{"multicam.angle", Required, MulticamAngleCommand, true, false,
            "switches the multicam angle to N (1 to 16)", "multicam.angle:N", kMulticamAngleFamily,
            kMulticamAngleReplies, kMulticamAngleErrors,
            "the reply echoes the angle: multicam.angle.ok:N"},
    Command{"vitals.subscribe", None, VitalsSubscribeCommand, true, false,
            "pushes transport and marker events and the vitals record from now on",
            "vitals.subscribe", "", kNothing, kNothing,
            "no reply; then event:transport:{...}, event:marker:{...} and about once a second "
            "vitals:{...}"},
    Command{"dump.angle", Required, DumpAngleCommand, true, true,
            "the render trees at TICKS[:TRACK], one [dump] line each", "dump.angle:TICKS[:TRACK]",
            kDumpFamily, kDumpReplies, kParseOnly,
            "the lines run from === VIDEO SEGMENT NODE DUMP START === to ... END ==="},
    Command{"debug.tlscan", Required, DebugTlscanCommand, true, true,
            "probes the timeline ids FROM:TO[:BUDGETMS]: tlscan:{...}",
            "debug.tlscan:FROM[:TO[:BUDGETMS]]", kTimelineScanKind, kTimelineScanReplies, kNothing,
            "", TimelineScanMembers},
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
