#include "protocol/json/methods/InfoMethods.h"

#include "protocol/InfoRecord.h"
#include "protocol/json/JsonMethodTable.h"
#include "protocol/json/ProtocolDescription.h"
#include "server/Ipv4Text.h"
#include "server/Settings.h"

#include <string>
#include <variant>

namespace ZYL {

Outcome VersionMethod(EngineParts&, RequestParams&) {
  static const std::string result = JsonText({{"version", ZYL_ENGINE_VERSION}});
  return WrittenResult{result};
}

Outcome DescribeMethod(EngineParts&, RequestParams&) { return DescribeProtocol(); }

// The protocols a handshake made now would admit: the settings file is read as a handshake
// reads it, so the answer follows the user's edits. A broken file admits nobody. Where the
// server listens is what is bound now, not what the file says (that takes effect at the
// next start).
Outcome InfoMethod(EngineParts& engine, RequestParams&) {
  nlohmann::json record = nlohmann::json::parse(InfoRecord());
  nlohmann::json protocols = nlohmann::json::array();
  const SettingsResult settings = ReadSettingsFile(SettingsFilePath());
  if (const auto* read = std::get_if<Settings>(&settings)) {
    if (read->AdmitsTextProtocol()) protocols.push_back(1);
    protocols.push_back(kJsonProtocolVersion);
  }
  record["protocols"] = protocols;
  const std::optional<ListenEndpoint> listening = engine.server.ListeningOn();
  record["listen"] = listening ? nlohmann::json(Ipv4Text(listening->address)) : nullptr;
  record["port"] = listening ? nlohmann::json(listening->port) : nullptr;
  return record;
}

} // namespace ZYL
