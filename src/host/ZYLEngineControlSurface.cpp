#include "host/ZYLEngineControlSurface.h"

namespace ZYL {

ZYLEngineControlSurface::ZYLEngineControlSurface(const hostsdk::BasicSuite* basic)
    : basicSuite(basic), timelines(basic, running) {}

ZYLEngineControlSurface::~ZYLEngineControlSurface() {
  // Normally AttachHost(0) has stopped everything already. A destructor must not throw; if
  // stopping fails there is nothing better left to do than carry on.
  try {
    StopServer();
  } catch (...) {
  }
}

hostsdk::ErrorCode ZYLEngineControlSurface::QueryInteger(std::int32_t* out) {
  *out = 0;
  return hostsdk::kSuccess;
}

// The getters hand out this object's own parts, so the host's calls on them reach the
// overrides below and in TransportEvents.cpp.
hostsdk::ErrorCode
ZYLEngineControlSurface::GetTransport(hostsdk::ControlSurfaceTransportBase** out) {
  *out = this;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::GetMixer(hostsdk::ControlSurfaceMixerBase** out) {
  *out = this;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::GetMarker(hostsdk::ControlSurfaceMarkerBase** out) {
  *out = this;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::GetCommand(hostsdk::ControlSurfaceCommandBase** out) {
  *out = this;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ZYLEngineControlSurface::RequestWithoutArgument() { return hostsdk::kSuccess; }

} // namespace ZYL
