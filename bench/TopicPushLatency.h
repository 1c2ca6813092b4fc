// From a host notification to its push at every JSON-protocol subscriber of a topic: the
// playhead, derived on its own thread from each timecode, beside a transport event, which
// the vitals thread sends.
#pragma once

#include "PushLatency.h"
#include "Simulator.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace zylbench {

enum class PushedTopic { Playhead, Transport };

// Opens `subscribers` JSON-protocol connections holding the topic, then delivers `events`
// notifications `spacing` apart through the simulator (a new timecode each, or "play on" and
// "play off" in turn), each stamped just before the host delivers it. A sample is the time
// from the stamp to the push of that notification's state at one subscriber, after a few
// notifications that are not counted.
PushFigures TopicPushLatencySamples(zylsim::Simulator& sim, std::uint16_t port, PushedTopic topic,
                                    int subscribers, int events, std::chrono::milliseconds spacing);

} // namespace zylbench
