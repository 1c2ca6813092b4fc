// What a handshake admitted a connection to: the protocol it speaks from the 101 on, the
// settings it was admitted under (the JSON protocol's password comes from them), and the
// peer's address when it is on another machine.
#pragma once

#include "platform/Platform.h"
#include "server/Settings.h"

#include <optional>

namespace ZYL {

enum class WireProtocol {
  Text, // one command per message, "kind:payload" replies
  Json, // chosen with the "zyl.v2" subprotocol
};

struct Admission {
  WireProtocol protocol = WireProtocol::Text;
  Settings settings;
  // Set for a peer that is not loopback: its failed authentications are counted.
  std::optional<platform::Ipv4Address> networkPeer = std::nullopt;
};

// Whether a peer on another machine may go on with what the handshake admitted it to: only
// the JSON protocol, and only while a password makes it authenticate. The text protocol has
// no password, whatever the settings say of it.
bool AdmitsNetworkPeer(const Admission& admission) noexcept;

} // namespace ZYL
