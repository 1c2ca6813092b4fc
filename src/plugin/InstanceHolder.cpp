#include "plugin/InstanceHolder.h"

#include "plugin/ZYLEngineControlSurface.h"

namespace ZYL {

bool DetachAndDelete(ZYLEngineControlSurface* surface) noexcept {
  if (surface == nullptr) return true;
  try {
    surface->AttachHost(0);
  } catch (...) {
    return false;
  }
  delete surface;
  return true;
}

} // namespace ZYL
