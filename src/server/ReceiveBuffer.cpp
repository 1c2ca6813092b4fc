#include "server/ReceiveBuffer.h"

#include <algorithm>
#include <cstring>

namespace ZYL {

bool ReceiveBuffer::ReadExactly(platform::Socket socket, char* out, std::size_t size) {
  for (;;) {
    const std::size_t buffered = std::min(size, end_ - start_);
    if (buffered > 0) std::memcpy(out, bytes_.get() + start_, buffered);
    start_ += buffered;
    out += buffered;
    size -= buffered;
    if (size == 0) return true;
    // A payload at least as large as the buffer goes straight to its place.
    if (size >= kCapacity)
      return platform::Receive(socket, out, size, true) == static_cast<std::ptrdiff_t>(size);
    if (!bytes_) bytes_ = std::make_unique<char[]>(kCapacity);
    const std::ptrdiff_t got = platform::Receive(socket, bytes_.get(), kCapacity, false);
    if (got <= 0) return false;
    start_ = 0;
    end_ = static_cast<std::size_t>(got);
  }
}

std::ptrdiff_t ReceiveBuffer::ReceiveAhead(platform::Socket socket, bool wait) {
  if (HasBuffered()) return static_cast<std::ptrdiff_t>(end_ - start_);
  if (!bytes_) bytes_ = std::make_unique<char[]>(kCapacity);
  const std::ptrdiff_t got = wait
                                 ? platform::Receive(socket, bytes_.get(), kCapacity, false)
                                 : platform::ReceiveWithoutWaiting(socket, bytes_.get(), kCapacity);
  start_ = 0;
  end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
  return got;
}

std::ptrdiff_t ReceiveBuffer::ReadSome(platform::Socket socket, char* out, std::size_t size) {
  if (!HasBuffered()) {
    if (size >= kCapacity) return platform::Receive(socket, out, size, false);
    if (!bytes_) bytes_ = std::make_unique<char[]>(kCapacity);
    const std::ptrdiff_t got = platform::Receive(socket, bytes_.get(), kCapacity, false);
    if (got <= 0) return got;
    start_ = 0;
    end_ = static_cast<std::size_t>(got);
  }
  const std::size_t taken = std::min(size, end_ - start_);
  std::memcpy(out, bytes_.get() + start_, taken);
  start_ += taken;
  return static_cast<std::ptrdiff_t>(taken);
}

} // namespace ZYL
