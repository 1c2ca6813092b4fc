// The module's one export: the host's first call, which hands over the basic suite and
// receives the module callbacks.
#include "plugin/Export.h"
#include "plugin/PluginLifecycle.h"
#include "plugin/PluginModule.h"

#include <type_traits>

extern "C" ZYL_EXPORT hostsdk::ErrorCode EntryPoint(const hostsdk::BasicSuite* basic, void*, void*,
                                                    std::int32_t,
                                                    hostsdk::PluginEntryTable* table) noexcept {
  ZYL::Module().basicSuite = basic;
  if (basic == nullptr || table == nullptr) return hostsdk::kBadParameter;
  *table = ZYL::kPluginEntryTable;
  return hostsdk::kSuccess;
}

// The host finds the entry by this type; keep the export and the SDK's declaration in step.
static_assert(std::is_convertible_v<decltype(&EntryPoint), hostsdk::EntryPointFunction>);
