#include "plugin/ZYLEngineControlSurface.h"

namespace ZYL {

namespace {

// What the status page on the engine's port says of the engine.
StatusFacts EngineStatusFacts() {
  return {.name = "ZYL Engine",
          .version = ZYL_ENGINE_VERSION,
          .setting = "inside the editor, as its control-surface plug-in, on ws://127.0.0.1:7890",
          .docs = "INSTALL.txt and the clients' README files in the release archive; "
                  "docs/PROTOCOL.md in the source repository"};
}

} // namespace

ZYLEngineControlSurface::ZYLEngineControlSurface(const hostsdk::BasicSuite* basic)
    : host{.basicSuite = basic}, timelines(basic, server.Running()),
      vitals(VitalsSources{host, transport, timelines}, server), playheads(Parts()),
      protocols(Parts()) {}

ZYLEngineControlSurface::~ZYLEngineControlSurface() {
  // Normally AttachHost(0) has stopped everything already.
  StopServer();
}

void ZYLEngineControlSurface::StartServer() {
  server.Start(protocols, EngineStatusFacts());
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
