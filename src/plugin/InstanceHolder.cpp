#include "plugin/InstanceHolder.h"

#include "plugin/ZYLEngineControlSurface.h"

namespace ZYL {

bool DetachAndDelete(ZYLEngineControlSurface* surface) noexcept {
  if (surface == nullptr) return true;
  try {
    surface->AttachHost(0);
    // Detached from inside a host call of the vitals or the playhead thread: that thread
    // returns through the surface's code, so the surface is deleted only once the thread has
    // left it.
    if (surface->vitals.DeferToThreadEnd([surface] { delete surface; }) ||
        surface->playheads.DeferToThreadEnd([surface] { delete surface; }))
      return true;
  } catch (...) {
    return false;
  }
  delete surface;
  return true;
}

} // namespace ZYL
