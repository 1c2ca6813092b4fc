// Temporary: lets the tree link until the host bridge lands. Delete when replaced.
#include "host/ZYLEngineControlSurface.h"

namespace ZYL {
ZYLEngineControlSurface::ZYLEngineControlSurface(const hostsdk::BasicSuite* basic)
    : basicSuite(basic), timelines(basic, running) {}
ZYLEngineControlSurface::~ZYLEngineControlSurface() { StopServer(); }
void ZYLEngineControlSurface::AttachHost(hostsdk::HostReference) {}
hostsdk::ErrorCode ZYLEngineControlSurface::QueryInteger(std::int32_t*) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::GetTransport(hostsdk::ControlSurfaceTransportBase**) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::GetMixer(hostsdk::ControlSurfaceMixerBase**) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::GetMarker(hostsdk::ControlSurfaceMarkerBase**) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::GetCommand(hostsdk::ControlSurfaceCommandBase**) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::RequestWithoutArgument() { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::Request1(std::intptr_t) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnStop(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnPlay(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnRecord(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnRewind(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnFastForward(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnAuxiliaryToggle(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnPause(bool) { return 0; }
hostsdk::ErrorCode ZYLEngineControlSurface::OnTimecode(std::int32_t, const hostsdk::HostString*) { return 0; }
void ZYLEngineControlSurface::OnMarkerChanged(std::uint32_t) {}
void ZYLEngineControlSurface::OnMarkersRebuilt() {}
} // namespace ZYL

#include "hostsdk/ControlSurfacePluginSuite.h"
extern "C" __attribute__((visibility("default"))) hostsdk::ErrorCode
EntryPoint(const hostsdk::BasicSuite*, void*, void*, std::int32_t, hostsdk::PluginEntryTable*) {
  return hostsdk::kBadParameter;
}
