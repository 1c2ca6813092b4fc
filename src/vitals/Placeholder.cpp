// Temporary: lets the tree link until the vitals publisher lands. Delete when replaced.
#include "host/ZYLEngineControlSurface.h"

namespace ZYL {
void ZYLEngineControlSurface::VitalsLoop() {}
} // namespace ZYL
