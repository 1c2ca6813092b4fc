#include "server/ClientConnection.h"

#include "server/CloseCodes.h"
#include "server/ClosePayload.h"
#include "server/FrameWriter.h"

#include <array>
#include <chrono>

namespace ZYL {

namespace {
// A queue that grew for a burst gives its memory back once it is empty again, so idle
// connections stay small.
constexpr std::size_t kKeptQueueCapacity = 64 * 1024;
} // namespace

ClientConnection::ClientConnection(platform::Socket socket, std::size_t queueBound,
                                   std::optional<platform::Ipv4Address> peer) noexcept
    : socket_(socket), peer_(peer), queueBound_(queueBound) {
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
  const auto timeout = std::chrono::milliseconds(server::kSendTimeoutMilliseconds);
  auto deadline = Clock::now() + timeout;
  std::uint64_t end = 0;
  {
    const std::lock_guard<std::mutex> lock(sendLock_);
    if (broken_) return false;
    // A slow peer's close under way takes nothing more; the bytes are refused below, once
    // the close frame is out, so that this thread does not end the connection first.
    if (!closing_) {
      if (!Enqueue(bytes)) return false;
      // Pushes of the new topics queue behind these bytes, never before them.
      if (topics) topics_.store(topics->Bits());
      end = queuedTotal_;
      if (!WriteFront()) return false;
      if (writtenTotal_ >= end) return true;
    }
  }
  // Only this connection's own bytes are waited for; pushes queued behind them are the
  // pushing thread's to write. Once the peer is being closed as too slow, this thread helps
  // the close frame out, since a connection that holds no topic has no pushing thread.
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const platform::WaitResult wait = left > 0
                                          ? platform::WaitWritable(socket_, static_cast<int>(left))
                                          : platform::WaitResult::TimedOut;
    const std::lock_guard<std::mutex> lock(sendLock_);
    if (broken_) return false;
    if (wait == platform::WaitResult::Failed) return Break();
    if (!WriteFront()) return false;
    if (!closing_) {
      if (writtenTotal_ >= end) return true;
      if (wait == platform::WaitResult::Ready) continue;
      GiveUpOnSlowPeer();
      if (broken_) return false;
    }
    // The close frame waits; its own bound runs from the peer's last progress.
    if (!CheckProgress()) return false;
    deadline = lastProgress_ + timeout;
  }
}

bool ClientConnection::Push(std::string_view bytes) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  return PushLocked(bytes);
}

bool ClientConnection::PushLocked(std::string_view bytes) noexcept {
  if (broken_ || closing_) return false;
  // A peer this far behind is not reading: it is given up on rather than let grow without
  // end.
  if (queue_.size() + bytes.size() > queueBound_) return GiveUpOnSlowPeer();
  return Enqueue(bytes) && WriteFront() && CheckProgress();
}

bool ClientConnection::WriteQueued() noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  if (broken_) return false;
  if (WriteFront()) CheckProgress();
  return !broken_ && !queue_.empty();
}

bool ClientConnection::Enqueue(std::string_view bytes) noexcept {
  // Bytes that find the queue empty start the wait for the peer anew.
  if (queue_.empty()) lastProgress_ = std::chrono::steady_clock::now();
  try {
    queue_.append(bytes);
    chunkEnds_.push_back(queuedTotal_ + bytes.size());
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
    return GiveUpOnSlowPeer();
  return true;
}

bool ClientConnection::GiveUpOnSlowPeer() noexcept {
  if (closing_ || admission_.protocol != WireProtocol::Json) return Break();
  // The peer may read again later: what it finds is whole frames, then the reason.
  try {
    if (!QueueCloseAfterChunkUnderWay(CloseFrame(CloseNumber(CloseCode::TooSlow), "too slow")))
      return false;
  } catch (...) {
    return Break();
  }
  // The close frame gets a full send time-out of its own.
  lastProgress_ = std::chrono::steady_clock::now();
  WriteFront();
  return false;
}

bool ClientConnection::QueueCloseAfterChunkUnderWay(std::string_view closeFrame) noexcept {
  // A chunk is whole frames, so the queue still ends on a frame's end.
  const std::uint64_t keptEnd = chunkEnds_.empty() ? writtenTotal_ : chunkEnds_.front();
  queue_.resize(static_cast<std::size_t>(keptEnd - writtenTotal_));
  queuedTotal_ = keptEnd;
  while (chunkEnds_.size() > 1)
    chunkEnds_.pop_back();
  closing_ = true;
  return Enqueue(closeFrame);
}

bool ClientConnection::WriteFront() noexcept {
  while (!queue_.empty()) {
    const std::ptrdiff_t sent = platform::SendWithoutWaiting(socket_, queue_.data(), queue_.size());
    if (sent < 0) return Break();
    if (sent == 0) return true;
    queue_.erase(0, static_cast<std::size_t>(sent));
    writtenTotal_ += static_cast<std::uint64_t>(sent);
    lastProgress_ = std::chrono::steady_clock::now();
    while (!chunkEnds_.empty() && chunkEnds_.front() <= writtenTotal_)
      chunkEnds_.pop_front();
  }
  // A slow peer's close frame is out: nothing may follow it.
  if (closing_) return Break();
  if (queue_.capacity() > kKeptQueueCapacity) {
    std::string().swap(queue_);
    largeBufferReleased_.store(true);
  }
  return true;
}

bool ClientConnection::Break() noexcept {
  broken_ = true;
  std::string().swap(queue_);
  chunkEnds_.clear();
  platform::ShutdownBoth(socket_);
  return false;
}

void ClientConnection::SendLast(std::string_view bytes) noexcept {
  const std::lock_guard<std::mutex> lock(sendLock_);
  // A slow peer's close under way stays the last thing it gets.
  if (broken_ || closing_) return;
  // A peer that reads gets all that waits for it; one that is behind loses the frames it had
  // not begun, so that the close frame can still reach it. Nothing waits on the peer.
  if (!WriteFront()) return;
  const bool queued = queue_.empty() ? Enqueue(bytes) : QueueCloseAfterChunkUnderWay(bytes);
  if (queued) WriteFront();
  Break();
}

void ClientConnection::SendClose(std::string_view closeFrame) noexcept {
  // No topic is held once the close frame is queued, so no push can follow it.
  if (!QueueAndWait(closeFrame, TopicSet{})) return;
  {
    const std::lock_guard<std::mutex> lock(sendLock_);
    if (broken_) return;
    // Nothing more is sent; the socket stays readable, so this is no Break.
    broken_ = true;
    platform::ShutdownSend(socket_);
  }
  DropUntilPeerCloses();
}

void ClientConnection::DropUntilPeerCloses() noexcept {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(server::kLingerMilliseconds);
  std::array<char, 4096> dropped;
  for (std::size_t total = 0; total < server::kLingerBytes;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 ||
        platform::WaitReadable(socket_, static_cast<int>(left)) != platform::WaitResult::Ready)
      return;
    const std::ptrdiff_t got = platform::Receive(socket_, dropped.data(), dropped.size(), false);
    if (got <= 0) return;
    total += static_cast<std::size_t>(got);
  }
}

void ClientConnection::Shutdown() noexcept { platform::ShutdownBoth(socket_); }

bool WriteQueuedToEach(const std::vector<std::shared_ptr<ClientConnection>>& connections) noexcept {
  bool waiting = false;
  for (const std::shared_ptr<ClientConnection>& connection : connections)
    waiting = connection->WriteQueued() || waiting;
  return waiting;
}

} // namespace ZYL
