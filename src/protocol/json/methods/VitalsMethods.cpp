#include "protocol/json/methods/VitalsMethods.h"

#include "host/SteadyClock.h"
#include "protocol/RecordMembers.h"
#include "protocol/json/JsonMethodTable.h"
#include "vitals/BuildVitalsRecord.h"
#include "vitals/VitalsSources.h"

#include <string_view>

namespace ZYL {

namespace {

constexpr std::string_view kRecordPrefix = "vitals:";

} // namespace

// The record the vitals thread would send now, read the same way. It has no earlier record
// to compare with, so what a comparison tells is null, as is each value the host did not
// give (the record's stand-ins).
Outcome VitalsMethod(EngineParts& engine, RequestParams&) {
  const VitalsSources sources{engine.host, engine.transport, engine.timelines};
  const std::int64_t now = SteadyNanoseconds();
  // A record asked for by a client never forces a rescan; the vitals thread decides those.
  VitalsState state;
  state.lastForcedScan = now;
  const std::string record = BuildVitalsRecord(sources, state, now);
  nlohmann::json values =
      nlohmann::json::parse(std::string_view(record).substr(kRecordPrefix.size()));
  for (const UnknownVital& vital : UnknownVitals()) {
    nlohmann::json& value = values[std::string(vital.member)];
    if (vital.standIn.is_null() || value == vital.standIn) value = nullptr;
  }
  return values;
}

} // namespace ZYL
