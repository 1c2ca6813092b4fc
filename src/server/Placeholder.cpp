// Temporary: lets the tree link until the server lands. Delete when replaced.
#include "host/ZYLEngineControlSurface.h"

namespace ZYL {
void ZYLEngineControlSurface::StartServer() {}
void ZYLEngineControlSurface::StopServer() {}
void ZYLEngineControlSurface::AcceptLoop() {}
void ZYLEngineControlSurface::PublishEvent(const std::string&) {}
void ZYLEngineControlSurface::HandleClient(int) {}
} // namespace ZYL
