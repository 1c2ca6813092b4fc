#include "ModuleHost.h"

#include "ModuleLoader.h"
#include "support/WsTestClient.h"

#include <gtest/gtest.h>

namespace zyltest {
namespace {

// The module calls plain functions, so the recording layer finds its host through this.
ModuleHost* activeHost = nullptr;

// The loader is never destroyed, so the module stays loaded for the whole test program: a
// surface that a failing test left running must not lose its code.
hostsdk::EntryPointFunction LoadModuleOnce(std::string* error) {
  static auto* const loader = new zylsim::ModuleLoader();
  if (loader->EntryPoint() == nullptr) loader->Load(ZYL_TEST_MODULE_PATH, error);
  return loader->EntryPoint();
}

std::string SuiteKey(const char* name, std::int32_t version) {
  return std::string(name) + "@" + std::to_string(version);
}

} // namespace

ModuleHost::ModuleHost(const nlohmann::json& project, HostFaults faults)
    : sim_(project, [this](const std::string& line) { output_.push_back(line); }),
      faults_(std::move(faults)) {
  activeHost = this;
  basic_ = {Acquire, Release};
  pluginSuites_ = {NewSuiteList, FreeSuiteList, AddSuite};
  std::string error;
  entryPoint_ = LoadModuleOnce(&error);
  if (entryPoint_ == nullptr) ADD_FAILURE() << error;
}

// The module stays loaded: a surface that a failing test left running must not lose its code.
ModuleHost::~ModuleHost() {
  Shutdown();
  activeHost = nullptr;
}

hostsdk::ErrorCode ModuleHost::Startup() {
  if (entryPoint_ == nullptr) return kRefused;
  const hostsdk::ErrorCode entered = entryPoint_(&basic_, nullptr, nullptr, 0, &callbacks_);
  EXPECT_EQ(entered, hostsdk::kSuccess);
  if (entered != hostsdk::kSuccess) return entered;
  startedUp_ = true;
  return callbacks_.PluginStartup();
}

void ModuleHost::Shutdown() {
  if (!startedUp_ || shutDown_) return;
  shutDown_ = true;
  EXPECT_EQ(callbacks_.PluginShutdown(), hostsdk::kSuccess);
}

const void* ModuleHost::FindTable(const std::string& name, std::int32_t version) const {
  for (const RegisteredSuite& suite : registered_) {
    if (suite.name == name && suite.apiVersion == version) return suite.table;
  }
  return nullptr;
}

const hostsdk::ControlSurfacePluginSuite1& ModuleHost::PluginSuite() const {
  static const hostsdk::ControlSurfacePluginSuite1 missing{};
  const auto* suite = Find<hostsdk::ControlSurfacePluginSuite1>(
      hostsdk::kControlSurfacePluginSuiteName, hostsdk::kControlSurfacePluginSuiteVersion);
  if (suite == nullptr) ADD_FAILURE() << "the plug-in suite was not registered";
  return suite != nullptr ? *suite : missing;
}

hostsdk::ErrorCode ModuleHost::CreateSurface(hostsdk::InstanceHolder* holder,
                                             hostsdk::ControlSurfaceBase** surface) {
  EXPECT_EQ(callbacks_.AllocateInstanceHolder(holder), hostsdk::kSuccess);
  return PluginSuite().CreateSurface(*holder, kSurfaceReference, surface);
}

hostsdk::ErrorCode ModuleHost::Acquire(const char* name, std::int32_t version, const void** table) {
  ModuleHost& host = *activeHost;
  const std::string key = SuiteKey(name, version);
  if (std::string(name) == hostsdk::kPluginSuitesSuiteName) {
    if (host.faults_.refusePluginSuites) {
      host.suiteCalls_.push_back("!" + key);
      return kRefused;
    }
    host.suiteCalls_.push_back("+" + key);
    *table = &host.pluginSuites_;
    return hostsdk::kSuccess;
  }
  const hostsdk::BasicSuite* simulated = host.sim_.BasicSuite();
  const hostsdk::ErrorCode result =
      simulated != nullptr ? simulated->AcquireSuite(name, version, table) : kRefused;
  host.suiteCalls_.push_back((result == hostsdk::kSuccess ? "+" : "!") + key);
  if (result == hostsdk::kSuccess && host.faults_.markerObject &&
      std::string(name) == hostsdk::kSurfaceHostSuiteName) {
    host.surfaceHost_ = *static_cast<const hostsdk::SurfaceHostSuite1*>(*table);
    host.surfaceHost_.GetMarkerObject = MarkerObject;
    *table = &host.surfaceHost_;
  }
  if (result == hostsdk::kSuccess && host.faults_.trackCount &&
      std::string(name) == hostsdk::kHostMixerSuiteName) {
    host.mixer_ = *static_cast<const hostsdk::HostMixerSuite1*>(*table);
    host.mixer_.GetTrackCount = TrackCount;
    *table = &host.mixer_;
  }
  return result;
}

hostsdk::ErrorCode ModuleHost::Release(const char* name, std::int32_t version) {
  ModuleHost& host = *activeHost;
  host.suiteCalls_.push_back(std::string("-").append(SuiteKey(name, version)));
  if (std::string(name) == hostsdk::kPluginSuitesSuiteName) return hostsdk::kSuccess;
  const hostsdk::BasicSuite* simulated = host.sim_.BasicSuite();
  return simulated != nullptr ? simulated->ReleaseSuite(name, version) : kRefused;
}

hostsdk::ErrorCode ModuleHost::NewSuiteList(void*, void*, hostsdk::SuiteList* out) {
  ModuleHost& host = *activeHost;
  if (host.faults_.refuseSuiteList) return kRefused;
  *out = reinterpret_cast<hostsdk::SuiteList>(&host.registered_);
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ModuleHost::FreeSuiteList(hostsdk::SuiteList list) {
  ModuleHost& host = *activeHost;
  EXPECT_EQ(list, reinterpret_cast<hostsdk::SuiteList>(&host.registered_));
  EXPECT_FALSE(host.suiteListFreed_) << "suite list freed twice";
  host.suiteListFreed_ = true;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ModuleHost::AddSuite(hostsdk::SuiteList list, void* hostPluginReference,
                                        const char* name, std::int32_t apiVersion,
                                        std::int32_t internalVersion, const void* table,
                                        void** outSuiteReference) {
  ModuleHost& host = *activeHost;
  EXPECT_EQ(list, reinterpret_cast<hostsdk::SuiteList>(&host.registered_));
  host.registered_.push_back({name, apiVersion, internalVersion, table, hostPluginReference});
  if (outSuiteReference != nullptr) *outSuiteReference = &host.registered_.back();
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode ModuleHost::MarkerObject(hostsdk::HostReference surface,
                                            hostsdk::HostObject* out) {
  return activeHost->faults_.markerObject(surface, out);
}

hostsdk::ErrorCode ModuleHost::TrackCount(hostsdk::HostObject mixer, std::int32_t* count) {
  return activeHost->faults_.trackCount(mixer, count);
}

bool ServerPortAccepts() {
  WsTestClient probe;
  return probe.Connect(Millis(300));
}

} // namespace zyltest
