#include "protocol/text/CommandTable.h"
#include "protocol/InfoRecord.h"

#include <string>

#ifndef ZYL_MAKER_SITE
#error "ZYL_MAKER_SITE (the maker's web site, scheme and host) must be defined by the build"
#endif

namespace ZYL {

namespace {

constexpr std::string_view kVersionReply = "version:" ZYL_ENGINE_VERSION;

// A JSON list of the names of the commands that pass `filter`, in the table's order.
template <typename Filter> std::string CommandNames(Filter filter) {
  std::string list = "[";
  for (const Command& command : Commands()) {
    if (!filter(command)) continue;
    if (list.size() > 1) list += ',';
    list.append("\"").append(command.name).append("\"");
  }
  return list + "]";
}

// Clients parse this record by member order as well as by name, so it stays byte for byte.
std::string BuildInfoRecord() {
  return "{\"engine\":\"ZYL Engine\",\"version\":\"" ZYL_ENGINE_VERSION "\",\"api\":1,"
         "\"platform\":\"win\",\"commands\":" +
         CommandNames([](const Command& command) { return command.listed; }) +
         ",\"unstable\":" + CommandNames([](const Command& command) { return command.unstable; }) +
         ",\"events\":[\"vitals\",\"event:transport\"],"
         "\"updateUrl\":\"" ZYL_MAKER_SITE "/zyl-engine/latest.json\","
         "\"downloadUrl\":\"" ZYL_MAKER_SITE "/zyl-engine\","
         "\"docsUrl\":\"" ZYL_MAKER_SITE "/zyl-engine/api\","
         "\"licenseUrl\":\"" ZYL_MAKER_SITE "/zyl-engine/license\","
         "\"originPolicy\":\"allowlist\",\"telemetry\":false}";
}

} // namespace

const std::string& InfoRecord() {
  static const std::string record = BuildInfoRecord();
  return record;
}

void GetVersionCommand(EngineParts&, ReplySink& client, std::string_view) {
  client.Send(kVersionReply);
}

void GetInfoCommand(EngineParts&, ReplySink& client, std::string_view) {
  static const std::string reply = "info:" + InfoRecord();
  client.Send(reply);
}

} // namespace ZYL
