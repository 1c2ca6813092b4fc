// The HTTP/1.1 upgrade that turns an accepted socket into a WebSocket connection.
#pragma once

#include "server/Admission.h"
#include "server/HandshakeRequest.h"
#include "server/StatusPage.h"

#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

class ClientConnection;

inline constexpr std::string_view kRefusalReply =
    "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";

// Base64 of SHA-1 of the key and the WebSocket GUID (RFC 6455).
std::string ComputeAcceptKey(std::string_view key);

// The 101 reply for `key`, with no header beyond those the upgrade needs; a connection
// that chose the JSON protocol also gets "Sec-WebSocket-Protocol: zyl.v2".
std::string AcceptReply(std::string_view key, WireProtocol protocol = WireProtocol::Text);

enum class HandshakeVerdict {
  Silent, // no key: not a WebSocket client; nothing is sent
  Accept,
  Refuse, // origin not allowed: the 403 reply
};
HandshakeVerdict JudgeRequest(const HandshakeRequest& request, const std::string& allowListPath);

// The whole answer to a request: the origin first (403), then the settings file, read anew
// for every request (500 when broken; a text-protocol client they refuse gets the 403), then
// for a peer on another machine (`networkPeer`) the rule of AdmitsNetworkPeer (403), then,
// for a JSON-protocol client, the upgrade's own soundness (426 or 400, UpgradeRefusal).
struct HandshakeAnswer {
  std::string reply;                  // "" when nothing is to be sent
  std::optional<Admission> admission; // set exactly when `reply` is the 101
};
HandshakeAnswer AnswerRequest(const HandshakeRequest& request, const std::string& allowListPath,
                              const std::string& settingsPath,
                              std::optional<platform::Ipv4Address> networkPeer = std::nullopt);

// Reads the request (to its blank line and no further, so the first frame stays in the
// socket), judges it and answers. True when the 101 reply went out; the connection then knows its
// admission. A request that breaks the size bounds or is not complete within the handshake time
// ends without a reply. A request without a key gets the status page built from `facts` when it
// may have it (see StatusPage.h), else nothing. Never closes the socket.
bool PerformHandshake(ClientConnection& connection, const StatusFacts& facts = {});

} // namespace ZYL
