// The values one loaded module shares between its entry callbacks.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "hostsdk/ControlSurfacePluginSuite.h"
#include "hostsdk/PluginSuitesSuite.h"
#include "hostsdk/StringSuite.h"

namespace ZYL {

// Written only by EntryPoint, PluginStartup and PluginShutdown, which the host never runs
// alongside any other callback, so no lock guards them.
struct PluginModule {
  const hostsdk::BasicSuite* basicSuite = nullptr;
  const hostsdk::StringSuite1* stringSuite = nullptr;
  const hostsdk::PluginSuitesSuite2* pluginSuites = nullptr;
  hostsdk::SuiteList suiteList = nullptr;
};

PluginModule& Module() noexcept;

} // namespace ZYL
