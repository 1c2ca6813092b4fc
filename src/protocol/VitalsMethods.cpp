#include "host/SteadyClock.h"
#include "protocol/JsonMethods.h"
#include "protocol/RecordMembers.h"
#include "vitals/BuildVitalsRecord.h"
#include "vitals/VitalsData.h"
#include "vitals/VitalsSources.h"

namespace ZYL {

// The record the vitals thread would send now, read the same way. It has no earlier record
// to compare with, so what a comparison tells is null, as is each value the host did not
// give (the record's stand-ins).
Outcome VitalsMethod(EngineParts& engine, RequestParams&) {
  const VitalsSources sources{engine.host, engine.transport, engine.timelines};
  const std::int64_t now = SteadyNanoseconds();
  // A record asked for by a client never forces a rescan; the vitals thread decides those.
  VitalsState state;
  state.lastForcedScan = now;
  state.current = CurrentTimelineUse::Keep;
  nlohmann::json values = VitalsData(BuildVitalsRecord(sources, state, now));
  for (const UnknownVital& vital : UnknownVitals())
    if (vital.standIn.is_null()) values[std::string(vital.member)] = nullptr;
  return values;
}

} // namespace ZYL
