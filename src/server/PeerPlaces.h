// The places that connections from other machines hold, so that network peers can never
// take every place from the local user: at most 8 of the 16 in all and 2 per address.
// Loopback peers are not counted here.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

namespace ZYL {

class PeerPlaces {
public:
  static constexpr std::size_t kNetworkPlaces = 8;
  static constexpr std::size_t kPlacesPerAddress = 2;

  // Takes a place for the connection on `socket` from `peer`; false when none is left to it.
  bool Take(platform::Socket socket, platform::Ipv4Address peer);
  // Gives back the place of `socket`, if it holds one. Called before the socket is closed,
  // so that its number cannot come back on a new connection first.
  void GiveBack(platform::Socket socket) noexcept;
  std::size_t Held() const noexcept;

private:
  mutable std::mutex lock_; // guards holders_
  std::map<platform::Socket, platform::Ipv4Address> holders_;
};

} // namespace ZYL
