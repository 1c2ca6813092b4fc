#include "server/PeerPlaces.h"

#include <algorithm>

namespace ZYL {

bool PeerPlaces::Take(platform::Socket socket, platform::Ipv4Address peer) {
  const std::lock_guard<std::mutex> guard(lock_);
  if (holders_.size() >= kNetworkPlaces) return false;
  const auto sameAddress = std::count_if(holders_.begin(), holders_.end(),
                                         [&](const auto& holder) { return holder.second == peer; });
  if (static_cast<std::size_t>(sameAddress) >= kPlacesPerAddress) return false;
  return holders_.emplace(socket, peer).second;
}

void PeerPlaces::GiveBack(platform::Socket socket) noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  holders_.erase(socket);
}

std::size_t PeerPlaces::Held() const noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  return holders_.size();
}

} // namespace ZYL
