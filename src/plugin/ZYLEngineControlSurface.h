// The one object per control surface: the host's view of the engine through the wrapper
// bases, and the state every engine thread shares.
#pragma once

#include "host/HostSuites.h"
#include "host/TransportState.h"
#include "hostsdk/ControlSurfaceWrappers.h"
#include "plugin/SurfaceCommand.h"
#include "protocol/PlayheadPublisher.h"
#include "protocol/ProtocolRouter.h"
#include "server/Server.h"
#include "timeline/TimelineCache.h"
#include "vitals/VitalsPublisher.h"

#include <cstdint>

namespace ZYL {

// The one owner of everything the engine's threads share. It holds it as parts, each
// guarding its own state with its own lock, and wires them: the host's notifications reach
// the transport state and the publisher, the server's connections reach the text protocol,
// and the protocol reaches the rest through EngineParts.
class ZYLEngineControlSurface final : public hostsdk::ControlSurfaceBase,
                                      public hostsdk::ControlSurfaceTransportBase,
                                      public SurfaceCommand,
                                      public hostsdk::ControlSurfaceMixerBase,
                                      public hostsdk::ControlSurfaceMarkerBase {
public:
  // Sets every member to its initial value; acquires nothing.
  explicit ZYLEngineControlSurface(const hostsdk::BasicSuite* basic);
  ~ZYLEngineControlSurface() override;

  ZYLEngineControlSurface(const ZYLEngineControlSurface&) = delete;
  ZYLEngineControlSurface& operator=(const ZYLEngineControlSurface&) = delete;

  // A non-zero reference acquires the host suites and objects and starts the server; 0
  // stops the server, joins every engine thread, and releases everything.
  void AttachHost(hostsdk::HostReference host);

  // Starts the listener and the vitals thread.
  void StartServer();
  // Stops both and joins their threads; safe from any thread, an engine thread included.
  void StopServer() noexcept;

  // --- ControlSurfaceBase overrides ---
  hostsdk::ErrorCode QueryInteger(std::int32_t* out) override;
  hostsdk::ErrorCode GetTransport(hostsdk::ControlSurfaceTransportBase** out) override;
  hostsdk::ErrorCode GetMixer(hostsdk::ControlSurfaceMixerBase** out) override;
  hostsdk::ErrorCode GetMarker(hostsdk::ControlSurfaceMarkerBase** out) override;
  hostsdk::ErrorCode GetCommand(hostsdk::ControlSurfaceCommandBase** out) override;
  hostsdk::ErrorCode RequestWithoutArgument() override;

  // --- Transport and marker notifications (TransportEvents.cpp) ---
  hostsdk::ErrorCode OnStop(bool on) override;
  hostsdk::ErrorCode OnPlay(bool on) override;
  hostsdk::ErrorCode OnRecord(bool on) override;
  hostsdk::ErrorCode OnRewind(bool on) override;
  hostsdk::ErrorCode OnFastForward(bool on) override;
  hostsdk::ErrorCode OnAuxiliaryToggle(bool on) override;
  hostsdk::ErrorCode OnPause(bool on) override;
  hostsdk::ErrorCode OnTimecode(std::int32_t displayMode, const hostsdk::HostString* text) override;
  void OnMarkerChanged(std::uint32_t index) override;
  void OnMarkersRebuilt() override;

  // The parts, in the order they are built; destroyed in reverse.
  HostSuites host;
  TransportState transport;
  Server server;
  TimelineCache timelines;
  VitalsPublisher vitals;
  PlayheadPublisher playheads;
  ProtocolRouter protocols;

  // Where the notifications publish: the publisher, or a test's recorder.
  EventSink* events = &vitals;

  EngineParts Parts() noexcept { return {host, transport, timelines, server, vitals, playheads}; }
};

} // namespace ZYL
