// The parts of the engine a command works with, handed to every handler. The plug-in owns
// them all; a handler reaches each through here and nowhere else.
#pragma once

#include "host/HostSuites.h"
#include "host/TransportState.h"
#include "server/ClientConnection.h"
#include "server/Server.h"
#include "timeline/TimelineCache.h"
#include "vitals/VitalsPublisher.h"

namespace ZYL {

class PlayheadPublisher;

struct EngineParts {
  const HostSuites& host;
  const TransportState& transport;
  TimelineCache& timelines;
  Server& server;
  VitalsPublisher& vitals;
  PlayheadPublisher& playheads;
  // The JSON-protocol connection a request came on; null where there is none.
  ClientConnection* caller = nullptr;
};

} // namespace ZYL
