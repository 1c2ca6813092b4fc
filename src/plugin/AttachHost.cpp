// Acquiring and releasing the host's suites and objects around the server's life.
#include "plugin/ZYLEngineControlSurface.h"

namespace ZYL {

void ZYLEngineControlSurface::AttachHost(hostsdk::HostReference reference) {
  // Engine threads read the suite members without a lock, so none may run while they
  // change. Stopping also before an attach keeps a repeated attach from pulling the suites
  // from under a running server.
  StopServer();
  host.Release();
  if (reference == 0) return;
  if (host.Acquire(reference)) StartServer();
}

} // namespace ZYL
