// The accept path's one question about who connects: a loopback peer is let on to the
// handshake as always; a peer on the network only while its address need not wait for its
// failed authentications and a network place is left for it.
#pragma once

#include "platform/Platform.h"
#include "server/FailedAuthentications.h"
#include "server/PeerPlaces.h"

namespace ZYL {

// Takes the network place of a peer that is let on; a peer whose address cannot be told
// (`peer` is nothing: it has gone already) is not. `peer` is the address accept told.
bool AdmitPeer(platform::Socket accepted, std::optional<platform::Ipv4Address> peer,
               PeerPlaces& places, const FailedAuthentications& failures);

} // namespace ZYL
