#include "protocol/CommandEntries.h"

#ifndef ZYL_MAKER_SITE
#error "ZYL_MAKER_SITE (the maker's web site, scheme and host) must be defined by the build"
#endif

// Spliced into two constant replies at compile time.
#define ZYL_ENGINE_VERSION "1.2.4"

namespace ZYL {

namespace {

constexpr std::string_view kVersionReply = "version:" ZYL_ENGINE_VERSION;

// Clients parse this record by member order as well as by name, so it stays byte for byte.
constexpr std::string_view kInfoReply =
    "info:{\"engine\":\"ZYL Engine\",\"version\":\"" ZYL_ENGINE_VERSION "\",\"api\":1,"
    "\"platform\":\"win\","
    "\"commands\":[\"get.version\",\"get.info\",\"get.sequence\",\"get.angle\","
    "\"get.angle.marker\",\"get.clipsize\",\"get.clipsize.marker\",\"get.transitions\","
    "\"get.commands\",\"exec\",\"multicam.angle\",\"vitals.subscribe\",\"dump.angle\","
    "\"debug.tlscan\"],"
    "\"unstable\":[\"dump.angle\",\"debug.tlscan\"],"
    "\"events\":[\"vitals\",\"event:transport\"],"
    "\"updateUrl\":\"" ZYL_MAKER_SITE "/zyl-engine/latest.json\","
    "\"downloadUrl\":\"" ZYL_MAKER_SITE "/zyl-engine\","
    "\"docsUrl\":\"" ZYL_MAKER_SITE "/zyl-engine/api\","
    "\"licenseUrl\":\"" ZYL_MAKER_SITE "/zyl-engine/license\","
    "\"originPolicy\":\"allowlist\",\"telemetry\":false}";

} // namespace

void GetVersionCommand(ZYLEngineControlSurface&, ReplySink& client, std::string_view) {
  client.Send(kVersionReply);
}

void GetInfoCommand(ZYLEngineControlSurface&, ReplySink& client, std::string_view) {
  client.Send(kInfoReply);
}

} // namespace ZYL
