#include "protocol/json/methods/TransportMethods.h"

#include "host/SteadyClock.h"
#include "protocol/json/JsonMethodTable.h"

namespace ZYL {

Outcome TransportMethod(EngineParts& engine, RequestParams&) {
  const TransportState& transport = engine.transport;
  const TimecodeReading timecode = transport.Timecode();
  nlohmann::json timecodeObject = nullptr;
  if (timecode.stamp != 0)
    timecodeObject = {{"text", timecode.text},
                      {"displayMode", timecode.displayMode},
                      {"ageMs", (SteadyNanoseconds() - timecode.stamp) / 1000000}};
  return nlohmann::json{
      {"playing", transport.playing.load()},     {"paused", transport.paused.load()},
      {"recording", transport.recording.load()}, {"rewind", transport.rewind.load()},
      {"fastForward", transport.ffwd.load()},    {"timecode", timecodeObject}};
}

} // namespace ZYL
