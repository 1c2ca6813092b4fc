// The one object per control surface: the host's view of the engine through the wrapper
// bases, and the state every engine thread shares.
#pragma once

#include "host/SurfaceCommand.h"
#include "hostsdk/BasicSuite.h"
#include "hostsdk/ControlSurfaceHostSuites.h"
#include "hostsdk/ControlSurfaceWrappers.h"
#include "hostsdk/StringSuite.h"
#include "server/ReplySink.h"
#include "timeline/TimelineCache.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ZYL {

class ClientConnection;

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

  // --- Life cycle (host/) ---
  // A non-zero reference acquires the host suites and objects and starts the server; 0
  // stops the server, waits for every connection thread, and releases everything.
  void AttachHost(hostsdk::HostReference host);

  // --- ControlSurfaceBase overrides (host/) ---
  hostsdk::ErrorCode QueryInteger(std::int32_t* out) override;
  hostsdk::ErrorCode GetTransport(hostsdk::ControlSurfaceTransportBase** out) override;
  hostsdk::ErrorCode GetMixer(hostsdk::ControlSurfaceMixerBase** out) override;
  hostsdk::ErrorCode GetMarker(hostsdk::ControlSurfaceMarkerBase** out) override;
  hostsdk::ErrorCode GetCommand(hostsdk::ControlSurfaceCommandBase** out) override;
  hostsdk::ErrorCode RequestWithoutArgument() override;

  // --- Transport and marker notifications (host/TransportEvents.cpp) ---
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

  // --- Server (server/) ---
  void StartServer();
  void StopServer();
  void AcceptLoop();
  void PublishEvent(const std::string& text);
  void HandleClient(int socket);

  // --- Protocol (protocol/) ---
  void DispatchCommand(ReplySink& client, std::string_view text);
  void RunHostCommand(std::string_view name);

  // --- Vitals (vitals/) ---
  void VitalsLoop();

  // --- Host suites and objects: written only by AttachHost while no server thread runs ---
  const hostsdk::BasicSuite* basicSuite;
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

  // --- Server registry ---
  std::thread acceptThread;
  std::atomic<bool> running{false};
  int listenSocket = -1;
  std::mutex clientLock; // guards clients, vitalsSubscribers, connections
  // Connections that passed the handshake, by socket. A connection owns its socket and
  // closes it only when the last holder lets go, so a push never reaches a closed or
  // reused socket number.
  std::map<int, std::shared_ptr<ClientConnection>> clients;
  std::atomic<std::int32_t> clientCount{0};
  std::set<int> vitalsSubscribers; // always a subset of clients' keys
  // Every connection thread's connection, handshake or not, so StopServer can shut all down.
  std::map<int, std::shared_ptr<ClientConnection>> connections;
  std::condition_variable connectionsEnded; // with clientLock: clientCount reached 0

  // --- Live transport state ---
  std::atomic<bool> playing{false};
  std::thread vitalsThread;
  std::atomic<std::int32_t> subscriberCount{0};
  std::atomic<bool> paused{false};
  std::atomic<bool> recording{false};
  std::atomic<bool> rewind{false};
  std::atomic<bool> ffwd{false};
  std::mutex timecodeLock; // guards the next three
  std::string timecodeText;
  std::int32_t displayMode = 0;
  std::int64_t timecodeStamp = 0; // steady-clock nanoseconds

  // --- Event queue ---
  std::mutex eventLock;
  std::vector<std::string> eventQueue;
  std::condition_variable eventReady;

  // --- Timeline cache: currentTimeline, knownTimelines, timelineLock, timelinesScanned,
  //     lastTimelineScan ---
  TimelineCache timelines;
};

} // namespace ZYL
