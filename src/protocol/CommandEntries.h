// The entry of every command that the dispatcher's table names. Each receives the text after
// the command's name, converts its own arguments, reacts to a parse failure as the protocol
// fixes for that command, and sends its own replies.
#pragma once

#include "server/ReplySink.h"

#include <string_view>

namespace ZYL {

class ZYLEngineControlSurface;

using CommandEntry = void (*)(ZYLEngineControlSurface& surface, ReplySink& client,
                              std::string_view rest);

// Engine and host descriptions, subscription (no arguments).
void GetVersionCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);
void GetInfoCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);
void VitalsSubscribeCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                            std::string_view rest);
void GetCommandsCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);

// Host commands.
void ExecCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);
void MulticamAngleCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                          std::string_view rest);

// Sequence description.
void GetSequenceCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);

// Render-tree commands: argument conversion here, the work in timeline/.
void GetAngleCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);
void GetAngleMarkerCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                           std::string_view rest);
void GetClipSizeCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);
void GetClipSizeMarkerCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                              std::string_view rest);
void GetTransitionsCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                           std::string_view rest);
void DumpAngleCommand(ZYLEngineControlSurface& surface, ReplySink& client, std::string_view rest);
void TimelineScanCommand(ZYLEngineControlSurface& surface, ReplySink& client,
                         std::string_view rest);

} // namespace ZYL
