// What the host last said about the transport: the five flags its notifications set, and
// the last timecode text with when it came.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace ZYL {

struct TimecodeReading {
  std::string text;
  std::int32_t displayMode = 0;
  std::int64_t stamp = 0; // steady-clock nanoseconds; 0 when none came
};

class TransportState {
public:
  std::atomic<bool> playing{false};
  std::atomic<bool> paused{false};
  std::atomic<bool> recording{false};
  std::atomic<bool> rewind{false};
  std::atomic<bool> ffwd{false};

  void SetTimecode(std::string text, std::int32_t mode, std::int64_t stamp) {
    const std::lock_guard<std::mutex> lock(timecodeLock);
    timecodeText = std::move(text);
    displayMode = mode;
    timecodeStamp = stamp;
  }

  TimecodeReading Timecode() const {
    const std::lock_guard<std::mutex> lock(timecodeLock);
    return {timecodeText, displayMode, timecodeStamp};
  }

private:
  mutable std::mutex timecodeLock; // guards the next three
  std::string timecodeText;
  std::int32_t displayMode = 0;
  std::int64_t timecodeStamp = 0;
};

} // namespace ZYL
