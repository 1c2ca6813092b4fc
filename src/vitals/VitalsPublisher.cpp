#include "vitals/VitalsPublisher.h"

#include "host/SteadyClock.h"
#include "server/ClientConnection.h"
#include "server/FrameWriter.h"
#include "server/Server.h"
#include "vitals/BuildVitalsRecord.h"
#include "vitals/JsonPush.h"
#include "vitals/VitalsState.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

namespace ZYL {

// The state the thread shares with publishers; the thread holds it too, so that a Stop made
// on the thread itself (a host call that detaches the plug-in) cannot pull it away.
struct VitalsPublisher::Loop {
  std::atomic<bool> running{false};
  std::mutex eventLock; // guards eventQueue and subscribed
  std::deque<std::string> eventQueue;
  bool subscribed = false; // a client subscribed since the thread last looked
  std::condition_variable eventReady;
  std::atomic<std::uint64_t> droppedEvents{0};
  // Run by the thread as it ends; set only on the thread itself.
  std::function<void()> lastAct;
};

namespace {

// The loop of the vitals thread that runs here; null on every other thread.
thread_local const VitalsPublisher::Loop* threadLoop = nullptr;

using Subscribers = std::vector<std::shared_ptr<ClientConnection>>;

constexpr std::int64_t kShortestRecordInterval = 900'000'000; // ns
constexpr auto kLongestWait = std::chrono::seconds(1);
// How soon bytes still queued for a slow subscriber are tried again.
constexpr auto kQueuedRetryWait = std::chrono::milliseconds(10);
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

// Waits, then takes every queued event, oldest first. While nobody subscribes nothing is
// due, so the wait has no time-out: an event, a subscription or the stop ends it. With
// subscribers it lasts at most until the next record, or until bytes still queued for a
// slow subscriber are tried again.
std::deque<std::string> TakeQueuedEvents(VitalsPublisher::Loop& loop, bool anySubscriber,
                                         bool bytesWaiting) {
  std::unique_lock<std::mutex> lock(loop.eventLock);
  const auto due = [&] {
    return !loop.eventQueue.empty() || !loop.running.load() || loop.subscribed;
  };
  if (anySubscriber)
    loop.eventReady.wait_until(
        lock, std::chrono::steady_clock::now() + (bytesWaiting ? kQueuedRetryWait : kLongestWait),
        due);
  else
    loop.eventReady.wait(lock, due);
  loop.subscribed = false;
  std::deque<std::string> events;
  events.swap(loop.eventQueue);
  return events;
}

// The same framed bytes to every subscriber: a frame or block is built once, not per socket.
// Each is queued and written as far as its socket takes it now, so a subscriber that does
// not read holds up nobody.
void SendToAll(const Subscribers& subscribers, std::string_view bytes) {
  for (const std::shared_ptr<ClientConnection>& subscriber : subscribers)
    subscriber->Push(bytes);
}

// The queued events' frames, in order, gathered into blocks of whole frames of up to
// kLargestEventBlock bytes (a larger frame makes a block of its own).
std::vector<std::string> EventBlocks(const std::deque<std::string>& events) {
  std::vector<std::string> blocks;
  for (const std::string& event : events) {
    const std::string frame = EncodeTextFrame(event);
    if (blocks.empty() || blocks.back().size() + frame.size() > kLargestEventBlock)
      blocks.emplace_back();
    blocks.back().append(frame);
  }
  return blocks;
}

// Sends each JSON-protocol subscriber the frame of `text` when it holds the text's topic.
void SendToJsonSubscribers(const Subscribers& subscribers, std::string_view text) {
  const std::optional<JsonPush> push = JsonPushOf(text);
  if (!push) return;
  const std::string frame = EncodeTextFrame(push->text);
  for (const std::shared_ptr<ClientConnection>& subscriber : subscribers)
    subscriber->PushTopic(push->topic, frame);
}

// What a pass leaves for the next one's wait.
struct PassOutcome {
  bool anySubscriber = false;
  bool bytesWaiting = false; // bytes still queued for a subscriber that reads slowly
};

PassOutcome RunVitalsPass(VitalsPublisher::Loop& loop, const VitalsSources& sources, Server& server,
                          VitalsState& state, PassOutcome previous) {
  const std::deque<std::string> events =
      TakeQueuedEvents(loop, previous.anySubscriber, previous.bytesWaiting);
  if (!loop.running.load()) return {};
  Subscribers subscribers = server.Subscribers();
  if (subscribers.empty()) return {};
  // Each push is framed once per protocol: the text frames for text-protocol subscribers,
  // the JSON event for each JSON-protocol subscriber that holds its topic.
  Subscribers jsonSubscribers;
  std::erase_if(subscribers, [&](const std::shared_ptr<ClientConnection>& subscriber) {
    if (subscriber->Admitted().protocol != WireProtocol::Json) return false;
    jsonSubscribers.push_back(subscriber);
    return true;
  });
  for (const std::string& event : events)
    SendToJsonSubscribers(jsonSubscribers, event);
  // One send per block and subscriber, not one per event: a send is a system call (and far
  // dearer under some socket layers), so a thread that sent event by event could fall behind
  // a host that fires events quickly, and the queue and the pushes' delay would grow without
  // bound. Behind, a pass takes more events at once and so catches up. A reply from a
  // connection's own thread can still come between two blocks, as between two frames.
  for (const std::string& block : EventBlocks(events))
    SendToAll(subscribers, block);

  const std::int64_t now = SteadyNanoseconds();
  if (ClaimRecordSlot(now)) {
    const std::string record = BuildVitalsRecord(sources, state, now);
    // The host detached the plug-in from inside one of the record's calls: its subscribers
    // are gone with the server.
    if (!loop.running.load()) return {};
    SendToAll(subscribers, EncodeTextFrame(record));
    SendToJsonSubscribers(jsonSubscribers, record);
  }
  const bool textBytesWaiting = WriteQueuedToEach(subscribers);
  const bool jsonBytesWaiting = WriteQueuedToEach(jsonSubscribers);
  return {true, textBytesWaiting || jsonBytesWaiting};
}

void VitalsLoop(const std::shared_ptr<VitalsPublisher::Loop>& loop, const VitalsSources& sources,
                Server& server) {
  VitalsState state = InitialVitalsState(SteadyNanoseconds());
  PassOutcome outcome{server.SubscriberCount() > 0, false};
  while (loop->running.load()) {
    // A pass that fails (out of memory) loses its events and record; the next pass goes on.
    try {
      outcome = RunVitalsPass(*loop, sources, server, state, outcome);
    } catch (...) {
      outcome = {true, false};
    }
  }
}

} // namespace

VitalsPublisher::VitalsPublisher(VitalsSources sources, Server& server)
    : sources_(sources), server_(server), loop_(std::make_shared<Loop>()) {
  // The thread sleeps without a time-out while nobody subscribes; the first subscriber
  // wakes it. The loop state is held, not the publisher, so the server may outlive it.
  server_.SetSubscribeListener([loop = loop_]() noexcept {
    {
      const std::lock_guard<std::mutex> lock(loop->eventLock);
      loop->subscribed = true;
    }
    loop->eventReady.notify_one();
  });
}

VitalsPublisher::~VitalsPublisher() { Stop(); }

void VitalsPublisher::Start() {
  const std::lock_guard<std::mutex> guard(threadLock_);
  if (loop_->running.load() || vitalsThread.joinable()) return;
  loop_->running.store(true);
  try {
    vitalsThread = std::thread([loop = loop_, this] {
      threadLoop = loop.get();
      VitalsLoop(loop, sources_, server_);
      // From here on the publisher may be deleted by the last act; only `loop` is used.
      if (loop->lastAct) loop->lastAct();
    });
  } catch (...) {
    loop_->running.store(false);
  }
}

void VitalsPublisher::Stop() noexcept {
  loop_->running.store(false);
  {
    // Taking the lock orders this wake-up after any running-test the thread made.
    const std::lock_guard<std::mutex> lock(loop_->eventLock);
  }
  loop_->eventReady.notify_all();
  std::thread thread;
  {
    const std::lock_guard<std::mutex> guard(threadLock_);
    thread.swap(vitalsThread);
  }
  if (thread.joinable()) {
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
  const std::lock_guard<std::mutex> lock(loop_->eventLock);
  loop_->eventQueue.clear();
}

bool VitalsPublisher::DeferToThreadEnd(std::function<void()>&& lastAct) noexcept {
  if (threadLoop != loop_.get()) return false;
  loop_->lastAct = std::move(lastAct);
  return true;
}

std::size_t VitalsPublisher::QueuedEventCount() const {
  const std::lock_guard<std::mutex> lock(loop_->eventLock);
  return loop_->eventQueue.size();
}

std::uint64_t VitalsPublisher::DroppedEventCount() const noexcept {
  return loop_->droppedEvents.load();
}

bool VitalsPublisher::HasSubscribers() const noexcept { return server_.SubscriberCount() > 0; }

void VitalsPublisher::PublishEvent(const std::string& text) noexcept {
  if (!HasSubscribers() || !loop_->running.load()) return;
  try {
    const std::lock_guard<std::mutex> lock(loop_->eventLock);
    // A thread that cannot keep up must not let the queue grow without end: the oldest
    // event gives way, and the loss is counted.
    if (loop_->eventQueue.size() >= kMaxQueuedEvents) {
      loop_->eventQueue.pop_front();
      loop_->droppedEvents.fetch_add(1);
    }
    loop_->eventQueue.push_back(text);
  } catch (...) {
    // Out of memory: this event is lost, the host's notification still returns normally.
    return;
  }
  loop_->eventReady.notify_one();
}

} // namespace ZYL
