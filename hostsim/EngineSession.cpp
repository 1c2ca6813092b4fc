#include "EngineSession.h"

#include "HostStrings.h"
#include "HostSuites.h"
#include "PluginSuites.h"

namespace zylsim {

namespace {

// The editor's reference for the one control surface it creates; never 0.
constexpr hostsdk::HostReference kSurfaceReference = 0x5A594C0000000001ull;

std::string Status(hostsdk::ErrorCode code) { return std::to_string(code); }

} // namespace

bool EngineSession::Start(hostsdk::EntryPointFunction entryPoint, std::string* error) {
  const hostsdk::ErrorCode entered = entryPoint(&BasicSuiteTable(), nullptr, nullptr, 0, &entry_);
  if (entered != hostsdk::kSuccess) {
    *error = "EntryPoint returned " + Status(entered);
    return false;
  }
  if (entry_.PluginStartup == nullptr || entry_.PluginShutdown == nullptr ||
      entry_.AllocateInstanceHolder == nullptr || entry_.ReleaseInstanceHolder == nullptr ||
      entry_.GetSuiteList == nullptr) {
    *error = "EntryPoint left a callback of the entry table empty";
    return false;
  }
  const hostsdk::ErrorCode startup = entry_.PluginStartup();
  if (startup != hostsdk::kSuccess) {
    *error = "PluginStartup returned " + Status(startup);
    return false;
  }
  started_ = true;
  entry_.GetSuiteList(&suiteList_);
  plugin_ = static_cast<const hostsdk::ControlSurfacePluginSuite1*>(RegisteredSuite(
      hostsdk::kControlSurfacePluginSuiteName, hostsdk::kControlSurfacePluginSuiteVersion));
  if (plugin_ == nullptr || plugin_->CreateSurface == nullptr ||
      plugin_->DestroySurface == nullptr) {
    *error = std::string("the module registered no ") + hostsdk::kControlSurfacePluginSuiteName;
    return false;
  }
  ReadIdentity();
  return Attach(error);
}

void EngineSession::ReadIdentity() {
  for (const auto getter : {plugin_->GetIdentifier, plugin_->GetDisplayName}) {
    if (getter == nullptr) continue;
    hostsdk::HostString text{};
    if (getter(nullptr, &text) == hostsdk::kSuccess) host_.ledger.strings.Release(text.handle);
  }
}

bool EngineSession::Attach(std::string* error) {
  if (plugin_ == nullptr) {
    *error = "the module is not started";
    return false;
  }
  if (holder_ != nullptr) {
    *error = "a surface is attached already";
    return false;
  }
  entry_.AllocateInstanceHolder(&holder_);
  if (holder_ == nullptr) {
    *error = "AllocateInstanceHolder gave no holder";
    return false;
  }
  const hostsdk::ErrorCode created = plugin_->CreateSurface(holder_, kSurfaceReference, &surface_);
  if (created != hostsdk::kSuccess) {
    *error = "CreateSurface returned " + Status(created);
    return false;
  }
  return true;
}

bool EngineSession::Detach(std::string* error) {
  if (holder_ == nullptr) {
    *error = "no surface is attached";
    return false;
  }
  plugin_->DestroySurface(holder_);
  surface_ = nullptr;
  entry_.ReleaseInstanceHolder(holder_);
  holder_ = nullptr;
  return true;
}

void EngineSession::Shutdown() {
  std::string ignored;
  if (holder_ != nullptr) Detach(&ignored);
  if (started_) entry_.PluginShutdown();
  started_ = false;
  plugin_ = nullptr;
  suiteList_ = nullptr;
}

const void* EngineSession::RegisteredSuite(const char* name, std::int32_t version) const {
  return suiteList_ == nullptr ? nullptr : FindRegisteredSuite(host_, suiteList_, name, version);
}

template <typename Table>
const Table* EngineSession::RequireSuite(const char* name, std::string* error) const {
  const void* table = RegisteredSuite(name, 1);
  if (table == nullptr) *error = std::string("the module registered no ") + name;
  return static_cast<const Table*>(table);
}

template <typename Object>
Object* EngineSession::SurfaceObject(
    hostsdk::ErrorCode (*const hostsdk::ControlSurfaceSuite::*getter)(hostsdk::ControlSurfaceBase*,
                                                                      Object**),
    std::string* error) const {
  if (surface_ == nullptr) {
    *error = "no surface is attached";
    return nullptr;
  }
  const void* table = RegisteredSuite(hostsdk::kControlSurfaceSuiteName, 1);
  if (table == nullptr) table = RegisteredSuite(hostsdk::kControlSurfaceSuiteName, 2);
  if (table == nullptr) {
    *error = std::string("the module registered no ") + hostsdk::kControlSurfaceSuiteName;
    return nullptr;
  }
  Object* object = nullptr;
  const auto* suite = static_cast<const hostsdk::ControlSurfaceSuite*>(table);
  const hostsdk::ErrorCode status = (suite->*getter)(surface_, &object);
  if (status != hostsdk::kSuccess || object == nullptr) {
    *error = "the surface gave no object (" + Status(status) + ")";
    return nullptr;
  }
  return object;
}

bool EngineSession::Transport(TransportEntry entry, bool on, std::string* error) {
  const auto* suite = RequireSuite<hostsdk::TransportSuite>(hostsdk::kTransportSuiteName, error);
  if (suite == nullptr) return false;
  auto* transport = SurfaceObject(&hostsdk::ControlSurfaceSuite::GetTransport, error);
  if (transport == nullptr) return false;
  using Toggle = hostsdk::ErrorCode (*const hostsdk::TransportSuite::*)(
      hostsdk::ControlSurfaceTransportBase*, std::int32_t);
  static constexpr Toggle kToggles[] = {
      &hostsdk::TransportSuite::OnStop,        &hostsdk::TransportSuite::OnPlay,
      &hostsdk::TransportSuite::OnRecord,      &hostsdk::TransportSuite::OnRewind,
      &hostsdk::TransportSuite::OnFastForward, &hostsdk::TransportSuite::OnAuxiliaryToggle,
      &hostsdk::TransportSuite::OnPause};
  (suite->*kToggles[static_cast<int>(entry)])(transport, on ? 1 : 0);
  return true;
}

bool EngineSession::Timecode(const std::string& text, std::int32_t displayMode,
                             std::string* error) {
  const auto* suite = RequireSuite<hostsdk::TransportSuite>(hostsdk::kTransportSuiteName, error);
  if (suite == nullptr) return false;
  auto* transport = SurfaceObject(&hostsdk::ControlSurfaceSuite::GetTransport, error);
  if (transport == nullptr) return false;
  // the editor's own string: it lends it for the call and disposes it afterwards
  const hostsdk::HostString string = NewHostString(host_, text, StringOrigin::Simulator);
  suite->OnTimecode(transport, displayMode, &string);
  host_.ledger.strings.Release(string.handle);
  return true;
}

bool EngineSession::MarkerChanged(std::uint32_t index, std::string* error) {
  const auto* suite = RequireSuite<hostsdk::MarkerSuite1>(hostsdk::kMarkerSuiteName, error);
  if (suite == nullptr) return false;
  auto* marker = SurfaceObject(&hostsdk::ControlSurfaceSuite::GetMarker, error);
  if (marker == nullptr) return false;
  suite->OnMarkerChanged(marker, index);
  return true;
}

bool EngineSession::MarkersRebuilt(std::string* error) {
  const auto* suite = RequireSuite<hostsdk::MarkerSuite1>(hostsdk::kMarkerSuiteName, error);
  if (suite == nullptr) return false;
  auto* marker = SurfaceObject(&hostsdk::ControlSurfaceSuite::GetMarker, error);
  if (marker == nullptr) return false;
  suite->OnMarkersRebuilt(marker);
  return true;
}

} // namespace zylsim
