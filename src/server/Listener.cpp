// Start and stop of the server, the accept thread and the event queue.
#include "host/ZYLEngineControlSurface.h"
#include "platform/Platform.h"
#include "server/ClientConnection.h"
#include "server/ServerLimits.h"

#include <chrono>

namespace ZYL {

void ZYLEngineControlSurface::StartServer() {
  // A second start while running would leave a second listener and lose the threads.
  if (running.load() || acceptThread.joinable() || vitalsThread.joinable()) return;
  if (!platform::StartNetworking()) return;
  const platform::Socket listener =
      platform::OpenLoopbackListener(server::kPort, server::kListenBacklog);
  if (listener == platform::kNoSocket) return;
  listenSocket = listener;
  running.exchange(true);
  try {
    acceptThread = std::thread([this] { AcceptLoop(); });
    vitalsThread = std::thread([this] { VitalsLoop(); });
  } catch (...) {
    // The system refused a thread: end fully stopped, listener closed, nothing running.
    StopServer();
  }
}

void ZYLEngineControlSurface::StopServer() {
  running.exchange(false);
  {
    // Taking the lock orders this wake-up after any running-test the vitals thread made.
    std::lock_guard<std::mutex> lock(eventLock);
  }
  eventReady.notify_all();

  // The listener is shut down first (which wakes the accept thread) and closed only after
  // the thread has gone, so its number cannot be reused under a running accept.
  if (listenSocket != platform::kNoSocket) platform::ShutdownBoth(listenSocket);
  if (acceptThread.joinable()) acceptThread.join();
  if (listenSocket != platform::kNoSocket) {
    platform::CloseSocket(listenSocket);
    listenSocket = platform::kNoSocket;
  }

  {
    // Every connection, registered or still in the handshake, has its reads fail now.
    std::lock_guard<std::mutex> lock(clientLock);
    for (const auto& [socket, connection] : connections)
      connection->Shutdown();
  }
  if (vitalsThread.joinable()) vitalsThread.join();

  // The caller releases the host suites and may destroy this object next: no connection
  // thread may still be running by then.
  std::unique_lock<std::mutex> lock(clientLock);
  connectionsEnded.wait(lock, [this] { return clientCount.load() <= 0; });
}

void ZYLEngineControlSurface::AcceptLoop() {
  const platform::Socket listener = listenSocket;
  while (running.load()) {
    try {
      const platform::WaitResult wait =
          platform::WaitReadable(listener, server::kAcceptPollMilliseconds);
      if (wait != platform::WaitResult::Ready) {
        if (wait == platform::WaitResult::Failed)
          std::this_thread::sleep_for(
              std::chrono::milliseconds(server::kAcceptBackoffMilliseconds));
        continue;
      }
      const platform::Socket accepted = platform::Accept(listener);
      if (accepted == platform::kNoSocket) {
        // For example out of descriptors: the pending connection stays readable, so a
        // retry at once would spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(server::kAcceptBackoffMilliseconds));
        continue;
      }
      if (clientCount.fetch_add(1) >= server::kMaxConnections) {
        clientCount.fetch_sub(1);
        platform::CloseSocket(accepted);
        continue;
      }
      try {
        std::thread([this, accepted] { HandleClient(accepted); }).detach();
      } catch (...) {
        platform::CloseSocket(accepted);
        clientCount.fetch_sub(1);
      }
    } catch (...) {
      // Nothing may leave the thread; the loop goes on while the server runs.
    }
  }
}

void ZYLEngineControlSurface::PublishEvent(const std::string& text) {
  if (subscriberCount.load() <= 0) return;
  try {
    std::lock_guard<std::mutex> lock(eventLock);
    eventQueue.push_back(text);
  } catch (...) {
    // Out of memory: this event is lost, the host's notification still returns normally.
    return;
  }
  eventReady.notify_one();
}

} // namespace ZYL
