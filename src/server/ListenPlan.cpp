#include "server/ListenPlan.h"

#include "server/Ipv4Text.h"

#include <variant>

namespace ZYL {

ListenPlan PlanListeners(const SettingsResult& settings, std::uint16_t defaultPort) {
  const auto* read = std::get_if<Settings>(&settings);
  const std::uint16_t port = read && read->port ? *read->port : defaultPort;
  ListenPlan plan;
  const platform::Ipv4Address named =
      read && read->listen ? *read->listen : platform::kLoopbackAddress;
  if (!IsLoopback(named) && !read->RequiresAuthentication()) {
    plan.endpoints.push_back({platform::kLoopbackAddress, port});
    plan.diagnostic = "ZYL Engine: settings.json sets \"listen\": \"" + Ipv4Text(named) +
                      "\" without a password; listening on 127.0.0.1 only";
    return plan;
  }
  // Every interface includes loopback; a second socket there could not be bound beside it.
  if (named == platform::kAnyAddress) {
    plan.endpoints.push_back({platform::kAnyAddress, port});
    return plan;
  }
  plan.endpoints.push_back({platform::kLoopbackAddress, port});
  if (named != platform::kLoopbackAddress) plan.endpoints.push_back({named, port});
  return plan;
}

std::string EndpointText(const ListenEndpoint& endpoint) {
  return Ipv4Text(endpoint.address) + ":" + std::to_string(endpoint.port);
}

} // namespace ZYL
