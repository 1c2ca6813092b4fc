// The host's ControlSurfaceHost suites and objects, held from attach to detach, and the
// basic and String suites every call into the editor starts from.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "hostsdk/ControlSurfaceHostSuites.h"
#include "hostsdk/StringSuite.h"

namespace ZYL {

// Written only by Acquire and Release, and those run only while no engine thread does: the
// engine's threads read these members without a lock.
struct HostSuites {
  const hostsdk::BasicSuite* basicSuite = nullptr;
  const hostsdk::SurfaceHostSuite1* surfaceHostSuite = nullptr;
  const hostsdk::HostTransportSuite1* transportSuite = nullptr;
  const hostsdk::HostCommandSuite1* commandSuite = nullptr;
  const hostsdk::HostMixerSuite1* mixerSuite = nullptr;
  const hostsdk::HostColorSuite1* colorSuite = nullptr;
  const hostsdk::HostMarkerSuite1* markerSuite = nullptr;
  hostsdk::HostObject transportHost = nullptr;
  hostsdk::HostObject commandHost = nullptr;
  hostsdk::HostObject mixerHost = nullptr;
  hostsdk::HostObject colorHost = nullptr;
  hostsdk::HostObject markerHost = nullptr;
  const hostsdk::StringSuite1* stringSuite = nullptr;

  // Acquires the suites and objects the host gives for `host`. True when the engine has
  // something to serve: the Transport or the Command suite is held.
  bool Acquire(hostsdk::HostReference host);
  // Releases everything Acquire took, objects before their suites.
  void Release() noexcept;
};

} // namespace ZYL
