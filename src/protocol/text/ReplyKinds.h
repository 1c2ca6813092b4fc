// The words before the ":" of the text protocol's replies, written here once: the handlers
// send them and the command table lists each command's. A command's error replies are its
// family followed by ".error".
#pragma once

#include <string>
#include <string_view>

namespace ZYL {

inline constexpr std::string_view kVersionKind = "version";
inline constexpr std::string_view kInfoKind = "info";
inline constexpr std::string_view kSequenceKind = "sequence";
inline constexpr std::string_view kAngleKind = "angle";
inline constexpr std::string_view kClipSizeKind = "clipsize";
inline constexpr std::string_view kTransitionsKind = "transitions";
inline constexpr std::string_view kCommandsFamily = "commands";
inline constexpr std::string_view kCommandLineKind = "command";
inline constexpr std::string_view kCommandsDoneKind = "commands.done";
inline constexpr std::string_view kExecFamily = "exec";
inline constexpr std::string_view kExecOkKind = "exec.ok";
inline constexpr std::string_view kMulticamAngleFamily = "multicam.angle";
inline constexpr std::string_view kMulticamAngleOkKind = "multicam.angle.ok";
inline constexpr std::string_view kDumpFamily = "dump";
// Each line of a dump starts so, without a ":".
inline constexpr std::string_view kDumpLinePrefix = "[dump] ";
inline constexpr std::string_view kTimelineScanKind = "tlscan";

// "kind:payload".
std::string ReplyText(std::string_view kind, std::string_view payload);
// "family.error:token".
std::string ErrorReplyText(std::string_view family, std::string_view token);

} // namespace ZYL
