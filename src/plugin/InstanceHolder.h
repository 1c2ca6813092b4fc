// The cell in which the host keeps one control surface between its creation and its end.
#pragma once

#include "hostsdk/Types.h"

namespace ZYL {
class ZYLEngineControlSurface;

// Detaches the surface from the host and deletes it. When detaching fails the server
// threads may still be using the surface and its suites, so it is left alive (a leak is
// better than a crash in the host) and false is returned. Made on the vitals thread (a host
// call of that thread detaches), the deletion waits until the thread has left the surface.
bool DetachAndDelete(ZYLEngineControlSurface* surface) noexcept;
} // namespace ZYL

// The opaque holder type of the host SDK, defined by the plug-in: owns at most one surface.
struct hostsdk::InstanceHolderOpaque {
  ZYL::ZYLEngineControlSurface* surface = nullptr;
};
