#include "plugin/PluginModule.h"

namespace ZYL {

PluginModule& Module() noexcept {
  static PluginModule module;
  return module;
}

} // namespace ZYL
