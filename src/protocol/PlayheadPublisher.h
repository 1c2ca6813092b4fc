// The playhead and sequence topics. A thread of its own (never the host's, and not the vitals
// thread, whose passes can spend seconds in a rescan) derives for each connection that holds
// them the playhead record and the sequence record of the connection's timeline, and pushes
// each when it changed: the playhead at most once each 20 ms per connection, the newest state
// winning and the last always sent; the sequence as a pass finds it changed.
#pragma once

#include "host/TransportState.h"
#include "protocol/EngineParts.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace ZYL {

class PlayheadPublisher {
public:
  explicit PlayheadPublisher(EngineParts engine);
  ~PlayheadPublisher();
  PlayheadPublisher(const PlayheadPublisher&) = delete;
  PlayheadPublisher& operator=(const PlayheadPublisher&) = delete;

  // Starts the thread; does nothing while it runs.
  void Start();
  // Wakes and joins the thread (unless the caller is that thread) and forgets the stored
  // timecode. Safe from any thread.
  void Stop() noexcept;

  // [host thread] A timecode the host reported: stored while a connection holds the playhead
  // topic, and the thread woken to derive it. Never throws.
  void NoteTimecode(const std::string& text, std::int32_t displayMode, std::int64_t stamp) noexcept;
  // [connection thread] Around the moment a connection comes to hold the playhead topic:
  // timecodes are stored from BeginHold on, until a pass that began after EndHold finds that
  // no connection holds the topic. Every BeginHold is followed by one EndHold.
  void BeginHold() noexcept;
  void EndHold() noexcept;
  // [engine threads] Asks for a pass now: a subscription or a pin changed what is due.
  void Wake() noexcept;
  // The timecode stored last; none while no connection holds the playhead topic.
  std::optional<TimecodeReading> Timecode() const;

  // As VitalsPublisher::DeferToThreadEnd, for a host call this thread makes that detaches the
  // plug-in.
  bool DeferToThreadEnd(std::function<void()>&& lastAct) noexcept;

  // The shortest time between two playhead pushes to one connection.
  static constexpr std::chrono::milliseconds kPushInterval{20};

  struct Loop;

private:
  EngineParts engine_;
  std::shared_ptr<Loop> loop_;
  std::mutex threadLock_; // guards thread_ between concurrent Start and Stop
  std::thread thread_;
};

} // namespace ZYL
