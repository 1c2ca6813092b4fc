// The page a browser's address bar gets from the engine's port: what runs there, which
// protocols it admits now, the state of the settings file and the engine's recent
// diagnostic lines. Only a plain "GET /" without a WebSocket key that accepts HTML and names
// this machine in its Host header, from a peer on this machine, gets it; every other request
// without a key is closed without a word as before. The page holds no script and sends no CORS
// header, so a page of another origin can neither read it nor, by renaming itself to 127.0.0.1 (its
// Host then names it), learn the settings folder's path.
#pragma once

#include "platform/Platform.h"
#include "server/HandshakeRequest.h"
#include "server/Settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZYL {

// What the engine says of itself; given by whoever starts the server, which knows sockets
// and not the product.
struct StatusFacts {
  std::string name;    // e.g. "ZYL Engine"
  std::string version; // e.g. "1.2.4"
  std::string setting; // where it runs, e.g. "inside the editor, as its control-surface plug-in"
  std::string docs;    // where its documentation is
};

// What the page shows besides the facts, read when it is asked for.
struct StatusReport {
  std::string settingsFolder; // "" when none is known
  std::string settingsPath;   // "" when none is known
  SettingsResult settings;
  std::vector<std::string> diagnostics; // oldest first
};

// Whether a Host header's value names this machine: 127.0.0.1, localhost or [::1] (any case),
// with or without a port.
bool HostNamesThisMachine(std::string_view host);

// Whether `request` is a plain "GET /" without a WebSocket key that accepts text/html (or */*)
// and names this machine.
bool AsksForStatusPage(const HandshakeRequest& request);

// The page itself (HTML, every value escaped).
std::string StatusPageHtml(const StatusFacts& facts, const StatusReport& report);

// The whole HTTP reply for `request` from a peer at `peer` (nothing when unknown): "200 OK" and the
// page when it may have it, "" (nothing is sent) otherwise. Reads the settings and the allow-list
// file as a handshake would, so a fault in either is noted among the diagnostics.
std::string StatusPageAnswer(const HandshakeRequest& request,
                             std::optional<platform::Ipv4Address> peer, const StatusFacts& facts);

} // namespace ZYL
