// Drives the engine module through its life cycle the way the editor does, and delivers the
// editor's notifications through the suites the module registered. Not thread-safe: the
// simulator lets one host thread at a time use it.
#pragma once

#include "HostState.h"
#include "hostsdk/ControlSurfacePluginSuite.h"
#include "hostsdk/ControlSurfaceWrappers.h"

#include <string>

namespace zylsim {

// The transport notifications by their Transport Suite entry.
enum class TransportEntry {
  Stop = 0,
  Play = 1,
  Record = 2,
  Rewind = 3,
  FastForward = 4,
  Pause = 6
};

class EngineSession {
public:
  explicit EngineSession(HostState& host) : host_(host) {}

  // EntryPoint, PluginStartup, GetSuiteList, then Attach. False with a one-line reason.
  bool Start(hostsdk::EntryPointFunction entryPoint, std::string* error);
  // AllocateInstanceHolder, CreateSurface.
  bool Attach(std::string* error);
  // DestroySurface, ReleaseInstanceHolder.
  bool Detach(std::string* error);
  // Detaches if attached, then PluginShutdown if the module was started.
  void Shutdown();

  bool Transport(TransportEntry entry, bool on, std::string* error);
  bool Timecode(const std::string& text, std::int32_t displayMode, std::string* error);
  bool MarkerChanged(std::uint32_t index, std::string* error);
  bool MarkersRebuilt(std::string* error);

private:
  const void* RegisteredSuite(const char* name, std::int32_t version) const;
  // The module's suite of that name in version 1; null with a reason.
  template <typename Table> const Table* RequireSuite(const char* name, std::string* error) const;
  // The surface's object from a ControlSurface Suite getter; null with a reason.
  template <typename Object>
  Object* SurfaceObject(hostsdk::ErrorCode (*const hostsdk::ControlSurfaceSuite::*getter)(
                            hostsdk::ControlSurfaceBase*, Object**),
                        std::string* error) const;
  // Asks the module for its identity strings, as the editor does to list it, and disposes them.
  void ReadIdentity();

  HostState& host_;
  hostsdk::PluginEntryTable entry_{};
  bool started_ = false;
  hostsdk::SuiteList suiteList_ = nullptr;
  const hostsdk::ControlSurfacePluginSuite1* plugin_ = nullptr;
  hostsdk::InstanceHolder holder_ = nullptr;
  hostsdk::ControlSurfaceBase* surface_ = nullptr;
};

} // namespace zylsim
