#include "plugin/ZYLEngineControlSurface.h"

namespace ZYL {

ZYLEngineControlSurface::ZYLEngineControlSurface(const hostsdk::BasicSuite* basic)
    : host{.basicSuite = basic}, timelines(basic, server.Running()),
      vitals(VitalsSources{host, transport, timelines}, server), playheads(Parts()),
      protocols(Parts()) {}

ZYLEngineControlSurface::~ZYLEngineControlSurface() {
  // Normally AttachHost(0) has stopped everything already.
  StopServer();
}

void ZYLEngineControlSurface::StartServer() {
  server.Start(protocols);
  vitals.Start();
  playheads.Start();
}

// The server first: its connections are shut down, which also cuts short any send the
// vitals and playhead threads are making to them.
void ZYLEngineControlSurface::StopServer() noexcept {
  server.Stop();
  vitals.Stop();
  playheads.Stop();
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
