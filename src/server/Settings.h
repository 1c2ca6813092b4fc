// The user's settings file: an optional password for the JSON protocol, whether the text
// protocol is admitted, and where the server listens. Read anew on every handshake (the
// listening address and port only when the server starts or retries a bind) and never
// written; a broken file refuses everyone rather than admitting anyone.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ZYL {

struct Settings {
  std::string password;             // UTF-8 bytes as written; empty: no password
  std::optional<bool> textProtocol; // as written in the file; nothing when absent
  // Where to listen besides loopback (0.0.0.0: every interface) and on which port; nothing
  // when absent.
  std::optional<platform::Ipv4Address> listen;
  std::optional<std::uint16_t> port;

  // A non-empty password makes the JSON protocol authenticate every client.
  bool RequiresAuthentication() const noexcept { return !password.empty(); }
  // The file's choice, else: admitted without a password, refused with one (a password the
  // text protocol could walk around would protect nothing).
  bool AdmitsTextProtocol() const noexcept { return textProtocol.value_or(password.empty()); }
};

struct SettingsError {
  std::string problem; // one English line naming the fault (and where, for a syntax error)
};

using SettingsResult = std::variant<Settings, SettingsError>;

// Reads settings from the text of a settings file. Refused: text that is not one JSON object,
// an unknown member, a member of the wrong type.
SettingsResult ParseSettings(std::string_view text) noexcept;

// <settings folder>/ZYL Engine/settings.json, beside the allow-list file; "" when no
// settings folder is known.
std::string SettingsFilePath();

// Reads the file at `path`. No path or no file: the defaults. A file that cannot be read (a
// pipe, a device, a folder, a link that leads nowhere, more than 1 MiB, not read in time) or
// parsed: an error naming the file and the problem.
SettingsResult ReadSettingsFile(const std::string& path) noexcept;

} // namespace ZYL
