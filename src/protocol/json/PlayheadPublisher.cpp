#include "protocol/json/PlayheadPublisher.h"

#include "host/SteadyClock.h"
#include "protocol/json/JsonMethodTable.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/PlayheadRecord.h"
#include "server/FrameWriter.h"
#include "vitals/JsonPush.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <set>
#include <vector>

namespace ZYL {

// The state the thread shares with the host's and the connections' threads; the thread holds
// it too, so that a Stop made on the thread itself (a host call that detaches the plug-in)
// cannot pull it away.
struct PlayheadPublisher::Loop {
  std::atomic<bool> running{false};
  mutable std::mutex lock; // guards the members below
  std::condition_variable wake;
  bool listening = false;           // some connection holds the playhead topic
  std::uint32_t holdsUnderWay = 0;  // BeginHold calls whose EndHold has not come
  std::uint64_t holdGeneration = 0; // counts both, so a pass clears no newer listening
  std::optional<TimecodeReading> timecode;
  bool deriveDue = false; // a timecode, a subscription or a pin came since the last pass
  bool rereadDue = false; // a subscription or a pin: the sequences are to be read again
  // Run by the thread as it ends; set only on the thread itself.
  std::function<void()> lastAct;
};

namespace {

using Json = nlohmann::json;
using PushClock = std::chrono::steady_clock;

// The loop of the thread that runs here; null on every other thread.
thread_local const PlayheadPublisher::Loop* playheadThreadLoop = nullptr;

// Sequence settings and the angle under an unchanged playhead are read again this often.
constexpr auto kRereadInterval = std::chrono::seconds(1);
// How soon bytes still queued for a slow subscriber are tried again.
constexpr auto kPushRetryWait = std::chrono::milliseconds(10);

// A playhead record without its age, derived once a pass for every connection on its
// timeline, and the timecode it was derived from (its age is taken when it is sent).
struct DerivedPlayhead {
  Json state;
  std::optional<TimecodeReading> timecode;
};
using SharedPlayhead = std::shared_ptr<const DerivedPlayhead>;

// What one connection was given, so that it gets only changes, and no more than one
// playhead push each kPushInterval.
struct ConnectionPushes {
  SharedPlayhead given; // the newest playhead state given (sent or waiting)
  bool waiting = false; // `given` waits for its slot
  PushClock::time_point lastPlayheadPush{};
  Json sequenceSent = nullptr;
};

using Connections = std::vector<std::shared_ptr<ClientConnection>>;
// By connection; a weak pointer, so that a new connection is never taken for a gone one.
using PushBook = std::map<std::weak_ptr<ClientConnection>, ConnectionPushes, std::owner_less<>>;

void PushEvent(ClientConnection& connection, Topic topic, const Json& data) {
  connection.PushTopic(topic, EncodeTextFrame(JsonEventText(topic, data.dump())));
}

// The JSON-protocol subscribers that hold the playhead or the sequence topic.
Connections TopicHolders(const Server& server) {
  Connections holders = server.Subscribers();
  std::erase_if(holders, [](const std::shared_ptr<ClientConnection>& connection) {
    const TopicSet topics = connection->Topics();
    return !topics.Contains(Topic::Playhead) && !topics.Contains(Topic::Sequence);
  });
  return holders;
}

// Forgets what connections that left, or dropped a topic, were given: a new subscription
// starts afresh.
void ForgetGone(PushBook& book, const Connections& holders) {
  PushBook kept;
  for (const std::shared_ptr<ClientConnection>& connection : holders) {
    const auto entry = book.find(connection);
    if (entry == book.end()) continue;
    ConnectionPushes pushes = std::move(entry->second);
    const TopicSet topics = connection->Topics();
    if (!topics.Contains(Topic::Playhead)) {
      const Json sequenceSent = std::move(pushes.sequenceSent);
      pushes = ConnectionPushes{};
      pushes.sequenceSent = sequenceSent;
    }
    if (!topics.Contains(Topic::Sequence)) pushes.sequenceSent = nullptr;
    kept.emplace(connection, std::move(pushes));
  }
  book.swap(kept);
}

// The sequence readings of the timelines the connections mean, by pin (-1 for none): read
// once a reread pass and kept for the timecodes in between.
using SequenceReadings = std::map<std::int32_t, SequenceReading>;

class DerivePass {
public:
  DerivePass(EngineParts& engine, const std::optional<TimecodeReading>& timecode,
             SequenceReadings& readings)
      : engine_(engine), timecode_(timecode), readings_(readings) {}

  // The sequence reading of the timeline `connection` means, read once per pin.
  const SequenceReading& SequenceOf(ClientConnection& connection) {
    const std::int32_t pin = connection.PinnedTimeline();
    if (gonePins_.contains(pin)) connection.DropPin(pin);
    const std::int32_t meant = connection.PinnedTimeline();
    const auto known = readings_.find(meant);
    if (known != readings_.end()) return known->second;
    SequenceReading reading = ReadConnectionSequence(engine_, connection);
    if (connection.PinnedTimeline() != meant) gonePins_.insert(meant);
    return readings_.insert_or_assign(meant, std::move(reading)).first->second;
  }

  // The playhead record on the timeline of `reading`, derived once per timeline a pass.
  SharedPlayhead PlayheadOn(const SequenceReading& reading) {
    const auto known = records_.find(reading.timeline);
    if (known != records_.end()) return known->second;
    Json state = PlayheadRecord(engine_, reading, timecode_, SteadyNanoseconds());
    state.erase("ageMs");
    auto derived = std::make_shared<const DerivedPlayhead>(DerivedPlayhead{state, timecode_});
    return records_.insert_or_assign(reading.timeline, std::move(derived)).first->second;
  }

private:
  EngineParts& engine_;
  const std::optional<TimecodeReading>& timecode_;
  SequenceReadings& readings_;
  std::set<std::int32_t> gonePins_;
  std::map<std::int32_t, SharedPlayhead> records_; // by timeline
};

// Derives every holder's records and notes what changed: a sequence push goes out at once,
// a playhead record waits for its slot. False when the server stopped meanwhile.
bool DeriveChanges(EngineParts& engine, const PlayheadPublisher::Loop& loop,
                   const Connections& holders, const std::optional<TimecodeReading>& timecode,
                   SequenceReadings& readings, PushBook& book) {
  DerivePass pass(engine, timecode, readings);
  for (const std::shared_ptr<ClientConnection>& connection : holders) {
    const SequenceReading& reading = pass.SequenceOf(*connection);
    const TopicSet topics = connection->Topics();
    ConnectionPushes& pushes = book[connection];
    Json sequence = nullptr;
    if (topics.Contains(Topic::Sequence) && reading.timeline >= 0)
      sequence = SequenceRecord(reading);
    SharedPlayhead playhead;
    if (topics.Contains(Topic::Playhead) && timecode) playhead = pass.PlayheadOn(reading);
    // The host may have detached the plug-in from inside one of those calls.
    if (!loop.running.load()) return false;
    if (!sequence.is_null() && sequence != pushes.sequenceSent) {
      PushEvent(*connection, Topic::Sequence, sequence);
      pushes.sequenceSent = std::move(sequence);
    }
    if (!playhead || (pushes.given && pushes.given->state == playhead->state)) continue;
    pushes.given = std::move(playhead);
    pushes.waiting = true;
  }
  return true;
}

// Sends each waiting playhead record whose slot has come; returns when the next slot comes
// (none while nothing waits).
std::optional<PushClock::time_point> SendDuePlayheads(const Connections& holders, PushBook& book) {
  std::optional<PushClock::time_point> next;
  const PushClock::time_point now = PushClock::now();
  // Each record is framed once, for every connection it goes to now.
  std::map<const DerivedPlayhead*, std::string> frames;
  for (const std::shared_ptr<ClientConnection>& connection : holders) {
    const auto entry = book.find(connection);
    if (entry == book.end() || !entry->second.waiting) continue;
    ConnectionPushes& pushes = entry->second;
    const PushClock::time_point slot = pushes.lastPlayheadPush + PlayheadPublisher::kPushInterval;
    if (now < slot) {
      next = next ? std::min(*next, slot) : slot;
      continue;
    }
    std::string& frame = frames[pushes.given.get()];
    if (frame.empty()) {
      Json record = pushes.given->state;
      record["ageMs"] = PlayheadAge(pushes.given->timecode, SteadyNanoseconds());
      frame = EncodeTextFrame(JsonEventText(Topic::Playhead, record.dump()));
    }
    connection->PushTopic(Topic::Playhead, frame);
    pushes.lastPlayheadPush = now;
    pushes.waiting = false;
  }
  return next;
}

// When no connection holds the playhead topic, timecodes are no longer stored, unless a hold
// is under way or came after this pass began (the pass may have missed its topic).
void StopListeningUnlessHeld(PlayheadPublisher::Loop& loop, std::uint64_t generation) {
  const std::lock_guard<std::mutex> lock(loop.lock);
  if (loop.holdsUnderWay > 0 || loop.holdGeneration != generation) return;
  loop.listening = false;
  loop.timecode.reset();
}

struct Wakeup {
  bool derive = false;
  bool reread = false;
  std::optional<TimecodeReading> timecode;
  std::uint64_t generation = 0;
};

// Waits until something asks for a derivation, the stop, or `deadline` (none: no time-out).
Wakeup Wait(PlayheadPublisher::Loop& loop, std::optional<PushClock::time_point> deadline) {
  std::unique_lock<std::mutex> lock(loop.lock);
  const auto due = [&] { return loop.deriveDue || loop.rereadDue || !loop.running.load(); };
  if (deadline)
    loop.wake.wait_until(lock, *deadline, due);
  else
    loop.wake.wait(lock, due);
  Wakeup wakeup{loop.deriveDue, loop.rereadDue, loop.timecode, loop.holdGeneration};
  loop.deriveDue = false;
  loop.rereadDue = false;
  return wakeup;
}

void PlayheadLoop(PlayheadPublisher::Loop& loop, EngineParts engine) {
  PushBook book;
  SequenceReadings readings;
  PushClock::time_point nextReread = PushClock::now();
  std::optional<PushClock::time_point> deadline;
  while (loop.running.load()) {
    const Wakeup wakeup = Wait(loop, deadline);
    if (!loop.running.load()) return;
    // A pass that fails (out of memory) loses what it derived; the next one derives again.
    try {
      const Connections holders = TopicHolders(engine.server);
      const bool anyPlayhead =
          std::any_of(holders.begin(), holders.end(), [](const auto& connection) {
            return connection->Topics().Contains(Topic::Playhead);
          });
      if (!anyPlayhead) StopListeningUnlessHeld(loop, wakeup.generation);
      ForgetGone(book, holders);
      const PushClock::time_point now = PushClock::now();
      const bool reread = wakeup.reread || now >= nextReread;
      if (reread) {
        // A new timecode is read against what the last reread found: the sequences are
        // read once a pass, not once a frame.
        nextReread = now + kRereadInterval;
        readings.clear();
      }
      if (!holders.empty() && (wakeup.derive || reread) &&
          !DeriveChanges(engine, loop, holders, wakeup.timecode, readings, book))
        return;
      deadline = SendDuePlayheads(holders, book);
      if (WriteQueuedToEach(holders)) {
        const PushClock::time_point retry = PushClock::now() + kPushRetryWait;
        deadline = deadline ? std::min(*deadline, retry) : retry;
      }
      // While nobody holds a topic nothing is due: a Hold or a Wake ends the wait.
      if (!holders.empty()) deadline = deadline ? std::min(*deadline, nextReread) : nextReread;
    } catch (...) {
      deadline = PushClock::now() + kRereadInterval;
    }
  }
}

} // namespace

PlayheadPublisher::PlayheadPublisher(EngineParts engine)
    : engine_(engine), loop_(std::make_shared<Loop>()) {}

PlayheadPublisher::~PlayheadPublisher() { Stop(); }

void PlayheadPublisher::Start() {
  const std::lock_guard<std::mutex> guard(threadLock_);
  if (loop_->running.load() || thread_.joinable()) return;
  loop_->running.store(true);
  try {
    thread_ = std::thread([loop = loop_, engine = engine_] {
      playheadThreadLoop = loop.get();
      PlayheadLoop(*loop, engine);
      // From here on the publisher may be deleted by the last act; only `loop` is used.
      if (loop->lastAct) loop->lastAct();
    });
  } catch (...) {
    loop_->running.store(false);
  }
}

void PlayheadPublisher::Stop() noexcept {
  loop_->running.store(false);
  {
    // Taking the lock orders this wake-up after any running-test the thread made.
    const std::lock_guard<std::mutex> lock(loop_->lock);
  }
  loop_->wake.notify_all();
  std::thread thread;
  {
    const std::lock_guard<std::mutex> guard(threadLock_);
    thread.swap(thread_);
  }
  if (thread.joinable()) {
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
  const std::lock_guard<std::mutex> lock(loop_->lock);
  loop_->listening = false;
  loop_->timecode.reset();
}

void PlayheadPublisher::NoteTimecode(const std::string& text, std::int32_t displayMode,
                                     std::int64_t stamp) noexcept {
  try {
    const std::lock_guard<std::mutex> lock(loop_->lock);
    if (!loop_->listening || !loop_->running.load()) return;
    loop_->timecode = TimecodeReading{text, displayMode, stamp};
    loop_->deriveDue = true;
  } catch (...) {
    // Out of memory: this timecode is lost, the host's notification still returns normally.
    return;
  }
  loop_->wake.notify_one();
}

void PlayheadPublisher::BeginHold() noexcept {
  const std::lock_guard<std::mutex> lock(loop_->lock);
  loop_->listening = true;
  ++loop_->holdsUnderWay;
  ++loop_->holdGeneration;
}

void PlayheadPublisher::EndHold() noexcept {
  {
    const std::lock_guard<std::mutex> lock(loop_->lock);
    --loop_->holdsUnderWay;
    ++loop_->holdGeneration;
    loop_->rereadDue = true;
  }
  loop_->wake.notify_one();
}

void PlayheadPublisher::Wake() noexcept {
  {
    const std::lock_guard<std::mutex> lock(loop_->lock);
    loop_->rereadDue = true;
  }
  loop_->wake.notify_one();
}

std::optional<TimecodeReading> PlayheadPublisher::Timecode() const {
  const std::lock_guard<std::mutex> lock(loop_->lock);
  return loop_->timecode;
}

bool PlayheadPublisher::DeferToThreadEnd(std::function<void()>&& lastAct) noexcept {
  if (playheadThreadLoop != loop_.get()) return false;
  loop_->lastAct = std::move(lastAct);
  return true;
}

} // namespace ZYL
