#include "server/PeerAdmission.h"

#include "server/Ipv4Text.h"

namespace ZYL {

bool AdmitPeer(platform::Socket accepted, std::optional<platform::Ipv4Address> peer,
               PeerPlaces& places, const FailedAuthentications& failures) {
  if (!peer) return false;
  if (IsLoopback(*peer)) return true;
  if (failures.MustWait(*peer, FailedAuthentications::Clock::now())) return false;
  return places.Take(accepted, *peer);
}

} // namespace ZYL
