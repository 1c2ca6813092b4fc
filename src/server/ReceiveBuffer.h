// Bytes received from a socket ahead of their use. Each receive takes whatever has arrived,
// up to the buffer's size, so a frame whose header, masking key and payload came together
// (as they do from every client) costs one system call instead of three.
#pragma once

#include "platform/Platform.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

namespace ZYL {

class ReceiveBuffer {
public:
  // Fills `out` with exactly `size` bytes: what is buffered first, then from `socket`,
  // waiting as long as it takes. False when the peer closed or the connection failed first.
  bool ReadExactly(platform::Socket socket, char* out, std::size_t size);
  // Fills `out` with between 1 and `size` bytes: what is buffered, or else what one receive
  // from `socket` brings, waiting only until something arrives. At most 0 when the peer
  // closed or the connection failed first.
  std::ptrdiff_t ReadSome(platform::Socket socket, char* out, std::size_t size);
  // Up to `size` of the buffered bytes, taken as read, with no copy and no receive: empty
  // when none wait. The view holds until the next read.
  std::string_view TakeBuffered(std::size_t size) noexcept {
    const std::string_view taken(bytes_.get() + start_, std::min(size, end_ - start_));
    start_ += taken.size();
    return taken;
  }
  // Whether bytes wait here that no read has taken yet.
  bool HasBuffered() const noexcept { return start_ < end_; }
  // The buffered bytes, left buffered: for a reader that takes only part of them
  // (TakeBuffered), as the handshake leaves what follows its request to the frame reader.
  std::string_view Buffered() const noexcept { return {bytes_.get() + start_, end_ - start_}; }
  // Into an empty buffer, one receive from `socket` of what has arrived, waiting for it
  // only when `wait`: the count, 0 at orderly close, negative on failure or when nothing
  // has arrived and no wait was asked.
  std::ptrdiff_t ReceiveAhead(platform::Socket socket, bool wait);

private:
  static constexpr std::size_t kCapacity = 4096;
  // Taken on the first read, so a connection that never sends a byte costs nothing.
  std::unique_ptr<char[]> bytes_;
  std::size_t start_ = 0; // first buffered byte not yet handed out
  std::size_t end_ = 0;   // one past the last buffered byte
};

} // namespace ZYL
