// Handles the simulator hands to the engine (segments, nodes, strings): each names one live
// value, numbers are never reused while live, and a release of anything not live is counted.
#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace zylsim {

template <typename Handle, typename Value> class HandleTable {
public:
  Handle Add(Value value) {
    std::lock_guard<std::mutex> lock(mutex_);
    do {
      next_ = next_ == std::numeric_limits<Handle>::max() ? 1 : next_ + 1;
    } while (live_.count(next_) != 0);
    live_.emplace(next_, std::move(value));
    return next_;
  }

  std::optional<Value> Find(Handle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = live_.find(handle);
    if (found == live_.end()) return std::nullopt;
    return found->second;
  }

  // False (and counted) when the handle is not live: never given out, or released already.
  bool Release(Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (live_.erase(handle) != 0) return true;
    ++unheldReleases_;
    return false;
  }

  std::size_t LiveCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.size();
  }

  std::vector<Value> LiveValues() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Value> values;
    for (const auto& [handle, value] : live_)
      values.push_back(value);
    return values;
  }

  std::uint64_t UnheldReleases() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unheldReleases_;
  }

private:
  mutable std::mutex mutex_;
  std::unordered_map<Handle, Value> live_;
  Handle next_ = 0;
  std::uint64_t unheldReleases_ = 0;
};

} // namespace zylsim
