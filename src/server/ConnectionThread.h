// The connection threads that serve the server's connections.
#pragma once

#include "platform/Platform.h"
#include "server/ServerRegistry.h"

#include <memory>
#include <optional>

namespace ZYL {

// A connection thread's life: serves `socket`, then each connection it accepts itself, until
// it has waited server::kIdleThreadMilliseconds for one in vain or the server stops. Started
// with kNoSocket, already counted among the accepting threads, it begins with the accept.
// `peer`: the address of `socket`'s peer, as accept told it.
void ServeConnections(const std::shared_ptr<Server::Registry>& registry, platform::Socket socket,
                      std::optional<platform::Ipv4Address> peer);

} // namespace ZYL
