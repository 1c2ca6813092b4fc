#include "server/UserFileReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace ZYL {

namespace {

// The reader waits this long for the next request before it ends, so that a burst of
// handshakes starts one thread, and an idle engine keeps none.
constexpr std::chrono::milliseconds kReaderIdle(500);

// Readings kept while their files' folders see no change: a handshake that finds its file
// here needs no reader, and no wait for one. A few, for the two files and a folder moved.
constexpr std::size_t kKeptReadings = 4;

struct FileRequest {
  std::string path;
  std::optional<platform::FileRead> result; // set by the reader
};

struct KeptReading {
  std::string path;
  platform::FileRead reading;
  platform::FileChangeWatch watch; // armed before the file was read
};

// What the reader and the handshakes share. The reader holds it through a shared pointer of
// its own, so it stays whole for a reader that outlives the engine's stop, the host's
// unload of the module (the reader holds the module loaded, see StartModuleThread) and the
// process's static destructors.
//
// A reader left inside the system by a read that does not return touches nothing but this
// state, the request it serves, the one file it has open and the memory its read allocates;
// no socket, no connection, nothing of the host, and no code but the module's own, which
// stays loaded for it. When the system gives up or answers at last, the reader stores the
// result nobody waits for any longer, closes the file, ends, and gives the module back.
struct FileReaderState {
  std::mutex lock;
  std::condition_variable requested; // the reader waits here for work
  std::condition_variable answered;  // the handshakes wait here for their results
  std::deque<std::shared_ptr<FileRequest>> waiting;
  std::shared_ptr<FileRequest> underWay;
  bool readerRuns = false;
  bool overdue = false; // the read under way outlasted the wait for it
  std::atomic<UserFileSource> source{&platform::ReadRegularFile};
  std::deque<KeptReading> kept; // the newest last
};

std::shared_ptr<FileReaderState>& SharedFileReader() {
  static std::shared_ptr<FileReaderState> state = std::make_shared<FileReaderState>();
  return state;
}

platform::FileRead NotRead(const char* problem) {
  platform::FileRead result;
  result.status = platform::FileRead::Status::Unreadable;
  result.problem = problem;
  return result;
}

// The kept reading of `path` while its folders saw no change since it was read (lock held).
// Asks the system without waiting.
const platform::FileRead* KeptReadingOf(FileReaderState& state, const std::string& path) {
  const auto kept = std::find_if(state.kept.begin(), state.kept.end(),
                                 [&](const KeptReading& entry) { return entry.path == path; });
  if (kept == state.kept.end()) return nullptr;
  if (!kept->watch.MayHaveChanged()) return &kept->reading;
  state.kept.erase(kept);
  return nullptr;
}

// Keeps `reading` of `path`, made after `watch` was armed, while the watch has seen nothing
// (lock held). Only the system's own readings are kept: a test's source answers for itself.
void Keep(FileReaderState& state, const std::string& path, const platform::FileRead& reading,
          platform::FileChangeWatch watch, UserFileSource source) {
  if (source != &platform::ReadRegularFile || state.source.load() != source ||
      watch.MayHaveChanged())
    return;
  std::erase_if(state.kept, [&](const KeptReading& entry) { return entry.path == path; });
  if (state.kept.size() == kKeptReadings) state.kept.pop_front();
  state.kept.push_back({path, reading, std::move(watch)});
}

void RunReader(void* context) noexcept {
  const std::unique_ptr<std::shared_ptr<FileReaderState>> held(
      static_cast<std::shared_ptr<FileReaderState>*>(context));
  FileReaderState& state = **held;
  std::unique_lock<std::mutex> lock(state.lock);
  for (;;) {
    state.requested.wait_for(lock, kReaderIdle, [&] { return !state.waiting.empty(); });
    if (state.waiting.empty()) {
      state.readerRuns = false;
      return;
    }
    const std::shared_ptr<FileRequest> request = state.underWay = state.waiting.front();
    state.waiting.pop_front();
    lock.unlock();
    // Armed before the read, so that whatever changes after the read is seen.
    platform::FileChangeWatch watch;
    const bool watched = watch.Arm(request->path);
    const UserFileSource source = state.source.load();
    platform::FileRead result = source(request->path, kMaxUserFileBytes);
    lock.lock();
    if (watched) {
      try {
        Keep(state, request->path, result, std::move(watch), source);
      } catch (...) {
        // Short of memory the reading is only not kept.
      }
    }
    request->result = std::move(result);
    state.underWay.reset();
    state.overdue = false;
    state.answered.notify_all();
  }
}

} // namespace

platform::FileRead ReadUserFile(const std::string& path) noexcept {
  try {
    const std::shared_ptr<FileReaderState> state = SharedFileReader();
    std::unique_lock<std::mutex> lock(state->lock);
    if (const platform::FileRead* kept = KeptReadingOf(*state, path)) return *kept;
    if (state->overdue) return NotRead("is not read in time: the system does not answer");
    auto request = std::make_shared<FileRequest>();
    request->path = path;
    state->waiting.push_back(request);
    if (state->readerRuns) {
      state->requested.notify_one();
    } else {
      auto context = std::make_unique<std::shared_ptr<FileReaderState>>(state);
      if (!platform::StartModuleThread(&RunReader, context.get())) {
        state->waiting.pop_back();
        return NotRead("cannot be read: no thread to read it");
      }
      context.release();
      state->readerRuns = true;
    }
    if (state->answered.wait_for(lock, std::chrono::milliseconds(kUserFileWaitMilliseconds),
                                 [&] { return request->result.has_value(); }))
      return std::move(*request->result);
    if (state->underWay == request) {
      state->overdue = true;
    } else {
      std::erase(state->waiting, request);
    }
    return NotRead("is not read in time: the system does not answer");
  } catch (...) {
    return NotRead("cannot be read: out of memory");
  }
}

UserFileSource ReplaceUserFileSource(UserFileSource source) noexcept {
  FileReaderState& state = *SharedFileReader();
  const std::lock_guard<std::mutex> lock(state.lock);
  // Readings kept from the old source are not the new one's.
  state.kept.clear();
  return state.source.exchange(source);
}

} // namespace ZYL
