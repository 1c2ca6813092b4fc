// What a handshake admitted a connection to: the protocol it speaks from the 101 on, and
// the settings it was admitted under (the JSON protocol's password comes from them).
#pragma once

#include "server/Settings.h"

namespace ZYL {

enum class WireProtocol {
  Text, // one command per message, "kind:payload" replies
  Json, // chosen with the "zyl.v2" subprotocol
};

struct Admission {
  WireProtocol protocol = WireProtocol::Text;
  Settings settings;
};

} // namespace ZYL
