// The files of the user's settings folder (settings.json, origins.txt) are read on one reader
// thread, never on a connection's own. A read that the system holds up (a profile folder on a
// network share that stalls, a synchronised folder fetching a file) then costs a handshake at
// most kUserFileWaitMilliseconds a file (it reads two at most), and a stop waits for no
// read. A reading is kept while the system reports no change in the file's folders
// (platform::FileChangeWatch), so a handshake after an unchanged one asks no reader at all.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <string>

namespace ZYL {

// How long a handshake waits for a file; a file not read by then is unreadable.
inline constexpr int kUserFileWaitMilliseconds = 1000;
// The most a settings file may hold; a larger one is unreadable.
inline constexpr std::size_t kMaxUserFileBytes = 1024 * 1024;

// The file at `path` as the reader thread read it (platform::ReadRegularFile), or
// unreadable when it was not read in time. While a read outlasts its wait, every further
// read is unreadable at once instead of queueing behind it.
platform::FileRead ReadUserFile(const std::string& path) noexcept;

// Where the reader thread takes a file's bytes from: platform::ReadRegularFile unless a
// test has put a source of its own in place (for a read that never returns). Returns the
// source it replaced.
using UserFileSource = platform::FileRead (*)(const std::string& path, std::size_t maxBytes);
UserFileSource ReplaceUserFileSource(UserFileSource source) noexcept;

} // namespace ZYL
