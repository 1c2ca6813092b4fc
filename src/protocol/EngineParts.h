// The parts of the engine a command works with, handed to every handler. The plug-in owns
// them all; a handler reaches each through here and nowhere else.
#pragma once

#include "host/HostSuites.h"
#include "host/TransportState.h"
#include "server/Server.h"
#include "timeline/TimelineCache.h"
#include "vitals/VitalsPublisher.h"

namespace ZYL {

struct EngineParts {
  const HostSuites& host;
  const TransportState& transport;
  TimelineCache& timelines;
  Server& server;
  VitalsPublisher& vitals;
};

} // namespace ZYL
