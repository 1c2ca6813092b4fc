// Failed authentications of network peers, counted per address, so that guessing the
// password from another machine slows down the more it fails: from the fifth failure within
// ten minutes, each further identify from that address waits before it is judged, 2 s, then
// twice as long each time, up to 60 s, whatever connection it comes on. A success forgets
// the address. The table holds a bounded number of addresses; when a new one needs room,
// the one heard from longest ago is forgotten.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <list>
#include <map>
#include <mutex>

namespace ZYL {

class FailedAuthentications {
public:
  using Clock = std::chrono::steady_clock;

  static constexpr std::size_t kRememberedAddresses = 256;
  static constexpr std::chrono::minutes kWindow{10};
  static constexpr std::size_t kFreeFailures = 5;
  static constexpr std::chrono::seconds kFirstWait{2};
  static constexpr std::chrono::seconds kLongestWait{60};

  explicit FailedAuthentications(std::size_t capacity = kRememberedAddresses) noexcept
      : capacity_(capacity) {}

  // How long an identify from `peer` arriving at `now` waits before it is judged; the
  // address counts as waiting until then.
  Clock::duration BeginJudging(platform::Ipv4Address peer, Clock::time_point now);
  void Failed(platform::Ipv4Address peer, Clock::time_point now);
  void Succeeded(platform::Ipv4Address peer) noexcept;
  // Whether an identify from `peer` is made to wait at `now`: new connections from it are
  // then closed at once.
  bool MustWait(platform::Ipv4Address peer, Clock::time_point now) const;
  // How many addresses are remembered.
  std::size_t Remembered() const noexcept;

private:
  struct Record {
    std::deque<Clock::time_point> failures; // within the window, oldest first
    Clock::time_point waitingUntil{};
    std::list<platform::Ipv4Address>::iterator age; // place in order_
  };
  // The record of `peer`, made (and the oldest forgotten) when there is none, with the
  // failures older than the window dropped; lock_ held.
  Record& Touch(platform::Ipv4Address peer, Clock::time_point now);

  const std::size_t capacity_;
  mutable std::mutex lock_; // guards everything below
  std::map<platform::Ipv4Address, Record> records_;
  std::list<platform::Ipv4Address> order_; // least recently heard from first
};

} // namespace ZYL
