#include "host/ZYLEngineControlSurface.h"
#include "server/ClientConnection.h"
#include "server/FrameWriter.h"
#include "vitals/BuildVitalsRecord.h"
#include "vitals/SteadyClock.h"
#include "vitals/VitalsState.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ZYL {

namespace {

using Subscribers = std::vector<std::shared_ptr<ClientConnection>>;

constexpr std::int64_t kShortestRecordInterval = 900'000'000; // ns
constexpr auto kLongestWait = std::chrono::seconds(1);
// The most bytes of event frames handed to one send.
constexpr std::size_t kLargestEventBlock = 64 * 1024;

// Process-wide, so the limit also holds across a restart of the server.
std::atomic<std::int64_t> lastRecordTime{0};

// Claims the right to send a record at `now`, unless one went out less than 900 ms ago.
bool ClaimRecordSlot(std::int64_t now) noexcept {
  std::int64_t last = lastRecordTime.load();
  do {
    if (now - last < kShortestRecordInterval) return false;
  } while (!lastRecordTime.compare_exchange_weak(last, now));
  return true;
}

// Waits for an event or at most a second, then takes every queued event, oldest first.
std::vector<std::string> TakeQueuedEvents(ZYLEngineControlSurface& surface) {
  std::unique_lock<std::mutex> lock(surface.eventLock);
  surface.eventReady.wait_until(lock, std::chrono::steady_clock::now() + kLongestWait, [&] {
    return !surface.eventQueue.empty() || !surface.running.load();
  });
  std::vector<std::string> events;
  events.swap(surface.eventQueue);
  return events;
}

// The subscribed connections, held so that their sockets stay open while we send to them
// without the lock.
Subscribers SnapshotSubscribers(ZYLEngineControlSurface& surface) {
  Subscribers subscribers;
  const std::lock_guard<std::mutex> lock(surface.clientLock);
  subscribers.reserve(surface.vitalsSubscribers.size());
  for (const int socket : surface.vitalsSubscribers) {
    const auto client = surface.clients.find(socket);
    if (client != surface.clients.end() && client->second) subscribers.push_back(client->second);
  }
  return subscribers;
}

// The same framed bytes to every subscriber: a frame or block is built once, not per socket.
void SendToAll(const Subscribers& subscribers, std::string_view bytes) {
  for (const std::shared_ptr<ClientConnection>& subscriber : subscribers)
    subscriber->SendBytes(bytes);
}

// The queued events' frames, in order, gathered into blocks of whole frames of up to
// kLargestEventBlock bytes (a larger frame makes a block of its own).
std::vector<std::string> EventBlocks(const std::vector<std::string>& events) {
  std::vector<std::string> blocks;
  for (const std::string& event : events) {
    const std::string frame = EncodeTextFrame(event);
    if (blocks.empty() || blocks.back().size() + frame.size() > kLargestEventBlock)
      blocks.emplace_back();
    blocks.back().append(frame);
  }
  return blocks;
}

void RunVitalsPass(ZYLEngineControlSurface& surface, VitalsState& state) {
  const std::vector<std::string> events = TakeQueuedEvents(surface);
  if (!surface.running.load()) return;
  const Subscribers subscribers = SnapshotSubscribers(surface);
  if (subscribers.empty()) return;
  // One send per block and subscriber, not one per event: a send is a system call (and far
  // dearer under some socket layers), so a thread that sent event by event could fall behind
  // a host that fires events quickly, and the queue and the pushes' delay would grow without
  // bound. Behind, a pass takes more events at once and so catches up. A reply from a
  // connection's own thread can still come between two blocks, as between two frames.
  for (const std::string& block : EventBlocks(events))
    SendToAll(subscribers, block);

  const std::int64_t now = SteadyNanoseconds();
  if (!ClaimRecordSlot(now)) return;
  SendToAll(subscribers, EncodeTextFrame(BuildVitalsRecord(surface, state, now)));
}

} // namespace

void ZYLEngineControlSurface::VitalsLoop() {
  VitalsState state = InitialVitalsState(SteadyNanoseconds());
  while (running.load()) {
    // A pass that fails (out of memory) loses its events and record; the next pass goes on.
    try {
      RunVitalsPass(*this, state);
    } catch (...) {
    }
  }
}

} // namespace ZYL
