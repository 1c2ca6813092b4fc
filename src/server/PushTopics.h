// The kinds of push a JSON-protocol connection can subscribe to, kept on the connection so
// the publisher sends each connection the pushes of its own topics.
#pragma once

#include <cstdint>
#include <vector>

namespace ZYL {

enum class Topic : std::uint8_t { Transport, Marker, Vitals, Playhead, Sequence };

// A set of topics, listed in the protocol's order: transport, marker, vitals, playhead,
// sequence.
class TopicSet {
public:
  void Add(Topic topic) noexcept { bits_ |= Bit(topic); }
  void Remove(Topic topic) noexcept { bits_ &= static_cast<std::uint8_t>(~Bit(topic)); }
  void Add(TopicSet other) noexcept { bits_ |= other.bits_; }
  void Remove(TopicSet other) noexcept { bits_ &= static_cast<std::uint8_t>(~other.bits_); }
  bool Contains(Topic topic) const noexcept { return (bits_ & Bit(topic)) != 0; }
  std::vector<Topic> Topics() const;
  std::uint8_t Bits() const noexcept { return bits_; }
  static TopicSet FromBits(std::uint8_t bits) noexcept {
    TopicSet set;
    set.bits_ = bits;
    return set;
  }
  bool operator==(const TopicSet&) const = default;

private:
  static std::uint8_t Bit(Topic topic) noexcept {
    return static_cast<std::uint8_t>(1U << static_cast<unsigned>(topic));
  }
  std::uint8_t bits_ = 0;
};

} // namespace ZYL
