// The text protocol's one table of commands: what each is called, how it takes arguments,
// which function handles it, and how get.info lists it. The dispatcher, get.info and the
// protocol description all read this table.
#pragma once

#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <span>
#include <string_view>

namespace ZYL {

// Receives the text after the command's name and its ":" (empty for a bare name), converts
// its own arguments, reacts to a parse failure as the protocol fixes for that command, and
// sends its own replies.
using CommandHandler = void (*)(EngineParts& engine, ReplySink& client, std::string_view rest);

enum class CommandArguments {
  None,     // the bare name only
  Required, // "name:" and the arguments
  Optional, // either
};

struct Command {
  std::string_view name;
  CommandArguments arguments;
  CommandHandler handler;
  bool listed;   // named in get.info's "commands"
  bool unstable; // named in get.info's "unstable": its output may change between versions
  std::string_view summary; // one line for the protocol description
};

// In the order get.info lists them. No command's name followed by ":" begins another's, so
// the order of matching cannot change which command a text selects.
std::span<const Command> Commands() noexcept;

// The command `text` selects, with `rest` set to the text after its name and ":"; nullptr
// when the text is no command (it is then the name of a host command).
const Command* FindCommand(std::string_view text, std::string_view& rest) noexcept;

// The handlers, one per command, each in a file of its own room.
void GetVersionCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetInfoCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetSequenceCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetAngleMarkerCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetClipSizeCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetClipSizeMarkerCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetTransitionsCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void GetCommandsCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void ExecCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void MulticamAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void VitalsSubscribeCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void DumpAngleCommand(EngineParts& engine, ReplySink& client, std::string_view rest);
void TimelineScanCommand(EngineParts& engine, ReplySink& client, std::string_view rest);

} // namespace ZYL
