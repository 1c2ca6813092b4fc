// Temporary: lets the tree link until the dispatcher lands. Delete when replaced.
#include "host/ZYLEngineControlSurface.h"

namespace ZYL {
void ZYLEngineControlSurface::DispatchCommand(ReplySink&, std::string_view) {}
void ZYLEngineControlSurface::RunHostCommand(std::string_view) {}
} // namespace ZYL
