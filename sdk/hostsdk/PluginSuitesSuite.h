// "Plugin Suites Suite" version 2: the plug-in's own suite list, which the host reads.
#pragma once

#include "hostsdk/Types.h"

namespace hostsdk {

inline constexpr const char* kPluginSuitesSuiteName = "Plugin Suites Suite";
inline constexpr std::int32_t kPluginSuitesSuiteVersion = 2;

struct PluginSuitesSuite2 {
  // 0. Creates an empty suite list; the plug-in passes two nulls. Success writes a non-null
  //    list.
  ErrorCode (*NewSuiteList)(void* reserved1, void* reserved2, SuiteList* out);
  // 1. Frees a list created by NewSuiteList.
  ErrorCode (*FreeSuiteList)(SuiteList list);
  // 2. Adds one suite table under a name and version. The table must stay valid while the
  //    list exists; *outSuiteReference receives the host's reference for the entry.
  ErrorCode (*AddSuite)(SuiteList list, void* hostPluginReference, const char* name,
                        std::int32_t apiVersion, std::int32_t internalVersion, const void* table,
                        void** outSuiteReference);
};

} // namespace hostsdk
