#include "DemoPlayback.h"

#include "Simulator.h"

#include <cmath>
#include <cstdio>

namespace zylsim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kTick{250}; // timecode updates: four a second
constexpr auto kPlayFor = std::chrono::seconds(8);
constexpr auto kPauseFor = std::chrono::seconds(2);
constexpr auto kEditEvery = std::chrono::seconds(15);

// The timeline the demo plays: the first one listed, at its frame rate.
struct PlayedTimeline {
  std::int32_t id = -1;
  double framesPerSecond = 30.0;
  std::int64_t ticksPerSecond = 254016000000;
  double lengthSeconds = 0.0;
};

PlayedTimeline ChoosePlayed(const Project& project) {
  PlayedTimeline played;
  played.ticksPerSecond = project.ticksPerSecond > 0 ? project.ticksPerSecond : 254016000000;
  if (project.timelines.empty()) return played;
  const Timeline& timeline = project.timelines.front();
  played.id = timeline.id;
  if (timeline.sequence && timeline.sequence->ticksPerFrame > 0)
    played.framesPerSecond = static_cast<double>(played.ticksPerSecond) /
                             static_cast<double>(timeline.sequence->ticksPerFrame);
  for (const Segment& segment : timeline.segments)
    played.lengthSeconds =
        std::max(played.lengthSeconds,
                 static_cast<double>(segment.end) / static_cast<double>(played.ticksPerSecond));
  return played;
}

// "HH:MM:SS:FF" of a position: the frame it falls in, at the sequence's own rate, labelled
// at the rounded rate (non-drop), as the editor labels a sequence without drop-frame.
std::string TimecodeText(double seconds, double framesPerSecond) {
  const auto base = std::max<long long>(1, std::llround(framesPerSecond));
  const auto frames = static_cast<long long>(seconds * framesPerSecond);
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", frames / base / 3600 % 100,
                frames / base / 60 % 60, frames / base % 60, frames % base);
  return text;
}

// Meter levels that wander like programme audio.
void MoveMeters(ProjectStore& store, double seconds) {
  nlohmann::json mixer = store.Source().value("mixer", nlohmann::json());
  if (!mixer.is_object()) return;
  const std::size_t channels = mixer.value("peaksDb", nlohmann::json::array()).size();
  nlohmann::json peaks = nlohmann::json::array();
  for (std::size_t channel = 0; channel < channels; ++channel)
    peaks.push_back(-14.0 + 8.0 * std::sin(seconds * 2.3 + static_cast<double>(channel)));
  mixer["peaksDb"] = peaks;
  store.SetMember("mixer", mixer);
}

} // namespace

void DemoPlayback::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void DemoPlayback::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool DemoPlayback::Wait(std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, duration, [this] { return stopping_; });
}

void DemoPlayback::Run() {
  std::string ignored; // a detached surface simply misses the demo's notifications
  bool playing = false;
  bool cutNext = false;
  double position = 0.0;
  auto phaseEnds = Clock::now();
  auto nextEdit = Clock::now() + kEditEvery;
  try {
    while (Wait(kTick)) {
      std::lock_guard<std::mutex> lock(lifecycle_);
      const PlayedTimeline played = ChoosePlayed(*store_.Current());
      const auto now = Clock::now();
      if (now >= phaseEnds) {
        playing = !playing;
        if (playing) session_.Transport(TransportEntry::Pause, false, &ignored);
        session_.Transport(playing ? TransportEntry::Play : TransportEntry::Pause, true, &ignored);
        phaseEnds = now + (playing ? kPlayFor : kPauseFor);
      }
      if (playing) {
        position += std::chrono::duration<double>(kTick).count();
        if (played.lengthSeconds > 0.0 && position >= played.lengthSeconds) position = 0.0;
        session_.Timecode(TimecodeText(position, played.framesPerSecond), 0, &ignored);
        MoveMeters(store_, position);
      }
      if (now >= nextEdit && played.id >= 0) {
        nextEdit = now + kEditEvery;
        try {
          if (cutNext)
            store_.Cut(played.id, static_cast<std::int64_t>(
                                      position * static_cast<double>(played.ticksPerSecond)));
          else
            store_.Edit(played.id);
        } catch (const ProjectError&) {
          // no segment to split at this position: the next edit comes soon enough
        }
        cutNext = !cutNext;
      }
    }
  } catch (const std::exception&) {
    // the demo is an extra: losing it must not take the simulator down
  }
}

} // namespace zylsim
