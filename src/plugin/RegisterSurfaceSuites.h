// Puts the engine's suites into the plug-in's suite list, where the host looks them up.
#pragma once

#include "hostsdk/PluginSuitesSuite.h"

#include <cstdint>

namespace ZYL {

// Adds one table under `version` as both API and internal version, with no host plug-in
// reference. The host's answer is not needed: a suite it refused is simply not offered.
void AddSuiteToList(const hostsdk::PluginSuitesSuite2* pluginSuites, hostsdk::SuiteList list,
                    const char* name, std::int32_t version, const void* table) noexcept;

// Adds the six wrapper suites, the ControlSurface Suite under versions 1 and 2.
void RegisterSurfaceSuites(const hostsdk::PluginSuitesSuite2* pluginSuites,
                           hostsdk::SuiteList suiteList) noexcept;

} // namespace ZYL
