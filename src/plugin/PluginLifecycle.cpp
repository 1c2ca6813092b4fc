// The five module callbacks: start-up and shut-down of the plug-in, its suite list, and the
// instance holders.
#include "plugin/PluginLifecycle.h"

#include "host/ScopedSuite.h"
#include "plugin/ControlSurfacePluginSuite.h"
#include "plugin/InstanceHolder.h"
#include "plugin/PluginModule.h"
#include "plugin/RegisterSurfaceSuites.h"

#include <new>

namespace ZYL {
namespace {

hostsdk::ErrorCode PluginStartup() noexcept {
  PluginModule& module = Module();
  ScopedSuite<hostsdk::StringSuite1> strings(module.basicSuite, hostsdk::kStringSuiteName,
                                             hostsdk::kStringSuiteVersion);
  if (!strings) return strings.status();
  // When this fails the host may never call PluginShutdown, so the String suite acquired
  // above is given back here rather than left held.
  ScopedSuite<hostsdk::PluginSuitesSuite2> pluginSuites(
      module.basicSuite, hostsdk::kPluginSuitesSuiteName, hostsdk::kPluginSuitesSuiteVersion);
  if (!pluginSuites) return pluginSuites.status();
  module.stringSuite = strings.release();
  // The Plugin Suites Suite stays acquired until the module is unloaded.
  module.pluginSuites = pluginSuites.release();

  // Without a suite list the plug-in offers nothing, which the host copes with; start-up
  // itself still succeeded.
  hostsdk::SuiteList list = nullptr;
  if (module.pluginSuites->NewSuiteList == nullptr ||
      module.pluginSuites->NewSuiteList(nullptr, nullptr, &list) != hostsdk::kSuccess ||
      list == nullptr)
    return hostsdk::kSuccess;
  module.suiteList = list;
  AddSuiteToList(module.pluginSuites, list, hostsdk::kControlSurfacePluginSuiteName,
                 hostsdk::kControlSurfacePluginSuiteVersion, &kControlSurfacePluginSuite);
  RegisterSurfaceSuites(module.pluginSuites, list);
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode PluginShutdown() noexcept {
  PluginModule& module = Module();
  if (module.suiteList != nullptr) {
    if (module.pluginSuites != nullptr && module.pluginSuites->FreeSuiteList != nullptr)
      module.pluginSuites->FreeSuiteList(module.suiteList);
    module.suiteList = nullptr;
  }
  if (module.stringSuite != nullptr) {
    ReleaseHostSuite(module.basicSuite, hostsdk::kStringSuiteName, hostsdk::kStringSuiteVersion);
    module.stringSuite = nullptr;
  }
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode AllocateInstanceHolder(hostsdk::InstanceHolder* out) noexcept {
  if (out == nullptr) return hostsdk::kBadParameter;
  *out = new (std::nothrow) hostsdk::InstanceHolderOpaque;
  return *out != nullptr ? hostsdk::kSuccess : kSurfaceUnavailable;
}

hostsdk::ErrorCode ReleaseInstanceHolder(hostsdk::InstanceHolder holder) noexcept {
  if (holder == nullptr) return hostsdk::kSuccess;
  // A surface that cannot be stopped safely stays alive; the cell goes either way.
  DetachAndDelete(holder->surface);
  delete holder;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode GetSuiteList(hostsdk::SuiteList* out) noexcept {
  if (out == nullptr) return hostsdk::kBadParameter;
  *out = Module().suiteList;
  return hostsdk::kSuccess;
}

} // namespace

const hostsdk::PluginEntryTable kPluginEntryTable = {
    PluginStartup, PluginShutdown, AllocateInstanceHolder, ReleaseInstanceHolder, GetSuiteList,
};

} // namespace ZYL
