#include "server/ClientConnection.h"

#include "server/FrameWriter.h"

#include <chrono>

namespace ZYL {

namespace {
// A queue that grew for a burst gives its memory back once it is empty again, so idle
// connections stay small.
constexpr std::size_t kKeptQueueCapacity = 64 * 1024;
} // namespace

ClientConnection::ClientConnection(platform::Socket socket, std::size_t queueBound) noexcept
    : socket_(socket), queueBound_(queueBound) {
  platform::SetNoDelay(socket_);
}

ClientConnection::~ClientConnection() { platform::CloseSocket(socket_); }

void ClientConnection::Send(std::string_view text) { SendTextFrame(*this, text); }

void ClientConnection::SetTopics(TopicSet topics) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  topics_.store(topics.Bits());
}

void ClientConnection::SendThenSetTopics(std::string_view text, TopicSet topics) {
  QueueAndWait(EncodeTextFrame(text), topics);
}

bool ClientConnection::PushTopic(Topic topic, std::string_view bytes) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  if (!Topics().Contains(topic)) return false;
  return PushLocked(bytes);
}

bool ClientConnection::SendBytes(std::string_view bytes) noexcept {
  return QueueAndWait(bytes, std::nullopt);
}

bool ClientConnection::QueueAndWait(std::string_view bytes,
                                    std::optional<TopicSet> topics) noexcept {
  // The bound holds for the whole write, not for each send: a peer whose buffers take a few
  // more bytes now and then would otherwise hold the sender for a full bound per trickle.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(server::kSendTimeoutMilliseconds);
  std::uint64_t end = 0;
  {
    const std::lock_guard<std::mutex> lock(sendLock_);
    if (broken_) return false;
    if (!Enqueue(bytes)) return false;
    // Pushes of the new topics queue behind these bytes, never before them.
    if (topics) topics_.store(topics->Bits());
    end = queuedTotal_;
    if (!WriteFront()) return false;
    if (writtenTotal_ >= end) return true;
  }
  // Only this connection's own bytes are waited for; pushes queued behind them are the
  // pushing thread's to write.
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const platform::WaitResult wait = left > 0
                                          ? platform::WaitWritable(socket_, static_cast<int>(left))
                                          : platform::WaitResult::TimedOut;
    const std::lock_guard<std::mutex> lock(sendLock_);
    if (broken_) return false;
    if (!WriteFront()) return false;
    if (writtenTotal_ >= end) return true;
    if (wait != platform::WaitResult::Ready) return Break();
  }
}

bool ClientConnection::Push(std::string_view bytes) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  return PushLocked(bytes);
}

bool ClientConnection::PushLocked(std::string_view bytes) noexcept {
  if (broken_) return false;
  // A peer this far behind is not reading: it is cut off rather than let grow without end.
  if (queue_.size() + bytes.size() > queueBound_) return Break();
  return Enqueue(bytes) && WriteFront() && CheckProgress();
}

bool ClientConnection::WriteQueued() noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  if (broken_) return false;
  return WriteFront() && CheckProgress() && !queue_.empty();
}

bool ClientConnection::Enqueue(std::string_view bytes) noexcept {
  // Bytes that find the queue empty start the wait for the peer anew.
  if (queue_.empty()) lastProgress_ = std::chrono::steady_clock::now();
  try {
    queue_.append(bytes);
  } catch (...) {
    return Break();
  }
  queuedTotal_ += bytes.size();
  return true;
}

bool ClientConnection::CheckProgress() noexcept {
  // A peer that takes nothing for the send time-out while bytes wait is not reading.
  if (!queue_.empty() && std::chrono::steady_clock::now() - lastProgress_ >=
                             std::chrono::milliseconds(server::kSendTimeoutMilliseconds))
    return Break();
  return true;
}

bool ClientConnection::WriteFront() noexcept {
  while (!queue_.empty()) {
    const std::ptrdiff_t sent = platform::SendWithoutWaiting(socket_, queue_.data(), queue_.size());
    if (sent < 0) return Break();
    if (sent == 0) return true;
    queue_.erase(0, static_cast<std::size_t>(sent));
    writtenTotal_ += static_cast<std::uint64_t>(sent);
    lastProgress_ = std::chrono::steady_clock::now();
  }
  if (queue_.capacity() > kKeptQueueCapacity) std::string().swap(queue_);
  return true;
}

bool ClientConnection::Break() noexcept {
  broken_ = true;
  std::string().swap(queue_);
  platform::ShutdownBoth(socket_);
  return false;
}

void ClientConnection::SendLast(std::string_view bytes) noexcept {
  if (SendBytes(bytes)) {
    const std::lock_guard<std::mutex> lock(sendLock_);
    Break();
  }
}

void ClientConnection::Shutdown() noexcept { platform::ShutdownBoth(socket_); }

} // namespace ZYL
