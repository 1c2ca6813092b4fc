#include "server/Admission.h"

namespace ZYL {

bool AdmitsNetworkPeer(const Admission& admission) noexcept {
  return admission.protocol == WireProtocol::Json && admission.settings.RequiresAuthentication();
}

} // namespace ZYL
