// The vitals thread and the event queue: transport and marker events are queued as the host
// reports them and sent, with about once a second a vitals record, to every subscriber.
#pragma once

#include "vitals/EventSink.h"
#include "vitals/VitalsSources.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ZYL {

class Server;

class VitalsPublisher final : public EventSink {
public:
  VitalsPublisher(VitalsSources sources, Server& server);
  ~VitalsPublisher() override;
  VitalsPublisher(const VitalsPublisher&) = delete;
  VitalsPublisher& operator=(const VitalsPublisher&) = delete;

  // Starts the vitals thread; does nothing while it runs.
  void Start();
  // Wakes and joins the thread (unless the caller is that thread) and empties the event
  // queue, so that a later start replays nothing stale. Safe from any thread.
  void Stop() noexcept;

  // A host call made by the vitals thread may detach the plug-in and so delete what the
  // thread reads, the publisher included, while the thread still has to return through it.
  // Made on the vitals thread, this keeps `lastAct` (that deletion) for the thread to run
  // once it has left its loop and uses nothing else, and returns true. Made on any other
  // thread it keeps nothing and returns false: the caller runs its deletion itself.
  bool DeferToThreadEnd(std::function<void()>&& lastAct) noexcept;

  bool HasSubscribers() const noexcept override;
  // Queues one event text for the subscribers; nothing is queued while nobody listens.
  // Never throws: a host notification must return normally.
  void PublishEvent(const std::string& text) noexcept override;

  // How many events wait for the thread.
  std::size_t QueuedEventCount() const;
  // How many events were dropped, oldest first, because kMaxQueuedEvents were waiting.
  std::uint64_t DroppedEventCount() const noexcept;

  // The most events that wait for the thread at once.
  static constexpr std::size_t kMaxQueuedEvents = 16384;

  struct Loop;

private:
  VitalsSources sources_;
  Server& server_;
  std::shared_ptr<Loop> loop_;
  std::mutex threadLock_; // guards vitalsThread between concurrent Start and Stop
  std::thread vitalsThread;
};

} // namespace ZYL
