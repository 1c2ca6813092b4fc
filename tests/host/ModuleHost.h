// A host for the built engine module: loads it with the simulator's module loader, hands it the
// simulator's basic suite through a recording layer, and keeps the suite list that the module
// registers, so tests can call each callback and each registered suite entry themselves.
#pragma once

#include "Simulator.h"
#include "hostsdk/ControlSurfaceHostSuites.h"
#include "hostsdk/ControlSurfacePluginSuite.h"
#include "hostsdk/PluginSuitesSuite.h"

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zyltest {

// One suite that the module added to its suite list.
struct RegisteredSuite {
  std::string name;
  std::int32_t apiVersion = 0;
  std::int32_t internalVersion = 0;
  const void* table = nullptr;
  void* hostPluginReference = nullptr;
};

// What the recording layer does instead of asking the simulator.
struct HostFaults {
  bool refusePluginSuites = false; // the Plugin Suites Suite cannot be acquired
  bool refuseSuiteList = false;    // NewSuiteList fails
  // Called instead of the simulator's GetMarkerObject (ControlSurfaceHost Suite 1).
  std::function<hostsdk::ErrorCode(hostsdk::HostReference, hostsdk::HostObject*)> markerObject;
  // Called instead of the simulator's GetTrackCount (ControlSurfaceHost Mixer Suite 1),
  // which only the vitals thread asks.
  std::function<hostsdk::ErrorCode(hostsdk::HostObject, std::int32_t*)> trackCount;
};

class ModuleHost {
public:
  static constexpr hostsdk::HostReference kSurfaceReference = 0x5E1F;
  static constexpr hostsdk::ErrorCode kRefused = 0x4E6F7065; // the recording layer's "no"

  explicit ModuleHost(const nlohmann::json& project = nlohmann::json::object(),
                      HostFaults faults = HostFaults());
  ~ModuleHost();
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;

  hostsdk::EntryPointFunction entryPoint() const { return entryPoint_; }
  const hostsdk::PluginEntryTable& callbacks() const { return callbacks_; }
  zylsim::Simulator& sim() { return sim_; }

  // EntryPoint and PluginStartup; returns PluginStartup's result.
  hostsdk::ErrorCode Startup();
  // PluginShutdown, once.
  void Shutdown();

  // The registered table for a name and API version; null when it was not registered.
  template <typename Table> const Table* Find(const std::string& name, std::int32_t version) const {
    return static_cast<const Table*>(FindTable(name, version));
  }
  const hostsdk::ControlSurfacePluginSuite1& PluginSuite() const;
  const std::vector<RegisteredSuite>& registered() const { return registered_; }
  bool suiteListFreed() const { return suiteListFreed_; }

  // AllocateInstanceHolder and CreateSurface with kSurfaceReference.
  hostsdk::ErrorCode CreateSurface(hostsdk::InstanceHolder* holder,
                                   hostsdk::ControlSurfaceBase** surface);

  // Every acquire and release the module asked for, as "+NAME@VERSION" or "-NAME@VERSION",
  // refused acquisitions as "!NAME@VERSION".
  const std::vector<std::string>& suiteCalls() const { return suiteCalls_; }
  void ClearSuiteCalls() { suiteCalls_.clear(); }

  std::vector<std::string> Output() const { return output_; }

private:
  const void* FindTable(const std::string& name, std::int32_t version) const;

  static hostsdk::ErrorCode Acquire(const char* name, std::int32_t version, const void** table);
  static hostsdk::ErrorCode Release(const char* name, std::int32_t version);
  static hostsdk::ErrorCode NewSuiteList(void*, void*, hostsdk::SuiteList* out);
  static hostsdk::ErrorCode FreeSuiteList(hostsdk::SuiteList list);
  static hostsdk::ErrorCode AddSuite(hostsdk::SuiteList list, void* hostPluginReference,
                                     const char* name, std::int32_t apiVersion,
                                     std::int32_t internalVersion, const void* table,
                                     void** outSuiteReference);
  static hostsdk::ErrorCode MarkerObject(hostsdk::HostReference surface, hostsdk::HostObject* out);
  static hostsdk::ErrorCode TrackCount(hostsdk::HostObject mixer, std::int32_t* count);

  std::vector<std::string> output_;
  zylsim::Simulator sim_;
  HostFaults faults_;
  hostsdk::EntryPointFunction entryPoint_ = nullptr;
  hostsdk::PluginEntryTable callbacks_{};
  hostsdk::BasicSuite basic_{};
  hostsdk::PluginSuitesSuite2 pluginSuites_{};
  hostsdk::SurfaceHostSuite1 surfaceHost_{};
  hostsdk::HostMixerSuite1 mixer_{};
  bool startedUp_ = false;
  bool shutDown_ = false;
  bool suiteListFreed_ = false;
  std::vector<RegisteredSuite> registered_;
  std::vector<std::string> suiteCalls_;
};

// Whether something accepts TCP connections on 127.0.0.1:7890 within a short wait.
bool ServerPortAccepts();

} // namespace zyltest
