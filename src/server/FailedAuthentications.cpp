#include "server/FailedAuthentications.h"

#include <algorithm>

namespace ZYL {

namespace {

// More failures than this change no wait: the longest is reached before.
constexpr std::size_t kKeptFailures = 16;

} // namespace

FailedAuthentications::Record& FailedAuthentications::Touch(platform::Ipv4Address peer,
                                                            Clock::time_point now) {
  auto found = records_.find(peer);
  if (found == records_.end()) {
    if (records_.size() >= capacity_ && !order_.empty()) {
      records_.erase(order_.front());
      order_.pop_front();
    }
    order_.push_back(peer);
    try {
      found = records_.emplace(peer, Record{{}, {}, std::prev(order_.end())}).first;
    } catch (...) {
      order_.pop_back();
      throw;
    }
  } else {
    order_.splice(order_.end(), order_, found->second.age);
  }
  std::deque<Clock::time_point>& failures = found->second.failures;
  while (!failures.empty() && now - failures.front() >= kWindow)
    failures.pop_front();
  return found->second;
}

FailedAuthentications::Clock::duration
FailedAuthentications::BeginJudging(platform::Ipv4Address peer, Clock::time_point now) {
  const std::lock_guard<std::mutex> guard(lock_);
  Record& record = Touch(peer, now);
  const std::size_t count = record.failures.size();
  if (count < kFreeFailures) return Clock::duration::zero();
  // The wait doubles with each failure past the free ones; the shift is bounded so that it
  // cannot overflow, and the longest wait is reached well before the bound.
  const std::size_t doublings = std::min<std::size_t>(count - kFreeFailures, kKeptFailures);
  const Clock::duration wait =
      std::min<Clock::duration>(kFirstWait * (std::int64_t{1} << doublings), kLongestWait);
  record.waitingUntil = std::max(record.waitingUntil, now + wait);
  return wait;
}

void FailedAuthentications::Failed(platform::Ipv4Address peer, Clock::time_point now) {
  const std::lock_guard<std::mutex> guard(lock_);
  Record& record = Touch(peer, now);
  record.failures.push_back(now);
  if (record.failures.size() > kKeptFailures) record.failures.pop_front();
}

void FailedAuthentications::Succeeded(platform::Ipv4Address peer) noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  const auto found = records_.find(peer);
  if (found == records_.end()) return;
  order_.erase(found->second.age);
  records_.erase(found);
}

bool FailedAuthentications::MustWait(platform::Ipv4Address peer, Clock::time_point now) const {
  const std::lock_guard<std::mutex> guard(lock_);
  const auto found = records_.find(peer);
  return found != records_.end() && now < found->second.waitingUntil;
}

std::size_t FailedAuthentications::Remembered() const noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  return records_.size();
}

} // namespace ZYL
