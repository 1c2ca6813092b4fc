#include "plugin/RegisterSurfaceSuites.h"

#include "hostsdk/ControlSurfaceWrappers.h"

namespace ZYL {

void AddSuiteToList(const hostsdk::PluginSuitesSuite2* pluginSuites, hostsdk::SuiteList list,
                    const char* name, std::int32_t version, const void* table) noexcept {
  if (pluginSuites == nullptr || pluginSuites->AddSuite == nullptr || list == nullptr) return;
  void* suiteReference = nullptr;
  pluginSuites->AddSuite(list, nullptr, name, version, version, table, &suiteReference);
}

void RegisterSurfaceSuites(const hostsdk::PluginSuitesSuite2* pluginSuites,
                           hostsdk::SuiteList suiteList) noexcept {
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kControlSurfaceSuiteName, 1,
                 &hostsdk::kControlSurfaceSuite);
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kControlSurfaceSuiteName, 2,
                 &hostsdk::kControlSurfaceSuite);
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kCommandSuiteName, 1, &hostsdk::kCommandSuite);
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kTransportSuiteName, 1,
                 &hostsdk::kTransportSuite);
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kMixerSuiteName, hostsdk::kMixerSuiteVersion,
                 &hostsdk::kMixerSuite);
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kColorSuiteName, 1, &hostsdk::kColorSuite);
  AddSuiteToList(pluginSuites, suiteList, hostsdk::kMarkerSuiteName, 1, &hostsdk::kMarkerSuite);
}

} // namespace ZYL
