// Diagnostic lines about the user's two files, each said once per change rather than at
// every handshake that meets the same fault.
#pragma once

#include "server/Settings.h"

#include <string>

namespace ZYL {

// Says when the settings file turns broken, naming the fault as the 500 reply does; a file
// that stays broken the same way is not mentioned again, one that heals is forgotten.
void NoteSettingsOutcome(const SettingsResult& result) noexcept;

// Says, for each entry of the allow-list file at `path` that can never match, which line it
// is and why; again only after the file's contents have changed.
void NoteUnmatchableAllowListEntries(const std::string& path) noexcept;

} // namespace ZYL
