// Where the server listens, as the settings file asks: 127.0.0.1 always, and the address the
// user named beside it, but only where a password keeps strangers out.
#pragma once

#include "platform/Platform.h"
#include "server/Settings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ZYL {

struct ListenEndpoint {
  platform::Ipv4Address address = platform::kLoopbackAddress;
  std::uint16_t port = 0;
  bool operator==(const ListenEndpoint&) const = default;
};

struct ListenPlan {
  // What to bind, loopback (or every interface, which holds it) first.
  std::vector<ListenEndpoint> endpoints;
  // One line for the user when the settings ask for more than is done; "" otherwise.
  std::string diagnostic;
};

// The plan for `settings` (a broken file: loopback on `defaultPort`, so that the broken
// file's 500 reaches the user). A "listen" that is not loopback needs a password, else only
// loopback is bound and the diagnostic says why.
ListenPlan PlanListeners(const SettingsResult& settings, std::uint16_t defaultPort);

// "address:port", as warnings name it.
std::string EndpointText(const ListenEndpoint& endpoint);

} // namespace ZYL
