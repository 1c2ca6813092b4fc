// What the vitals record is read from: the host's suites, the live transport state and the
// timeline cache.
#pragma once

#include "host/HostSuites.h"
#include "host/TransportState.h"
#include "timeline/TimelineCache.h"

namespace ZYL {

struct VitalsSources {
  const HostSuites& host;
  const TransportState& transport;
  TimelineCache& timelines;
};

} // namespace ZYL
