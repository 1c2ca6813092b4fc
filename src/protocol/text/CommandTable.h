// The text protocol's one table of commands: everything about each command is written in its
// row, and nowhere else. The dispatcher, get.info and the protocol description read it, and
// from the description come the README's table of commands, the fuzzer's dictionary and the
// JavaScript client's command data.
#pragma once

#include "protocol/DescribedMember.h"
#include "protocol/EngineParts.h"
#include "server/ReplySink.h"

#include <span>
#include <string_view>
#include <vector>

namespace ZYL {

// Receives the text after the command's name and its ":" (empty for a bare name), converts
// its own arguments, reacts to a parse failure as the protocol fixes for that command, and
// sends its own replies.
using CommandHandler = void (*)(EngineParts& engine, ReplySink& client, std::string_view rest);

// Whether a command takes arguments after its name and a ":".
enum class ArgumentShape {
  None,     // the bare name only
  Required, // "name:" and the arguments
  Optional, // either
};

struct Command {
  std::string_view name;
  ArgumentShape arguments;
  CommandHandler handler;
  bool listed;   // named in get.info's "commands"
  bool unstable; // named in get.info's "unstable": its output may change between versions
  std::string_view summary; // one line for the protocol description
  std::string_view usage;   // the command as a client writes it, arguments in capitals
  // The word its replies and its error replies ("family.error:token") share.
  std::string_view family;
  std::span<const std::string_view> replies; // the kinds of its replies; none: it sends none
  std::span<const std::string_view> errors;  // the tokens of its error replies
  std::string_view notes = {};               // what a reader of the table of commands needs besides
  // The members of the record its reply carries, as both protocols list them; none: no record.
  std::vector<Member> (*record)() = nullptr;
};

// In the order get.info lists them. No command's name followed by ":" begins another's, so
// the order of matching cannot change which command a text selects.
std::span<const Command> Commands() noexcept;

// The command `text` selects, with `rest` set to the text after its name and ":"; nullptr
// when the text is no command (it is then the name of a host command).
const Command* FindCommand(std::string_view text, std::string_view& rest) noexcept;

} // namespace ZYL
