// One accepted client socket, shared by its connection thread and (for pushes) the vitals
// thread. The socket is closed only when the last holder lets go, so its number cannot be
// handed to a newer connection while anyone may still write to it.
//
// Everything written goes through one queue of whole frames, written at its front and never
// with a send that waits, so frames of different threads never interleave and no writer is
// ever held up inside a send by a peer that does not read.
//
// A peer that does not read is given up on. A text-protocol peer is cut off at once (its
// protocol has no word for it). A JSON-protocol peer is closed with "too slow": the frames
// not yet begun are dropped, the one under way is finished, the close frame follows it, and
// the connection ends once that is out or the peer again took nothing for the send time-out.
#pragma once

#include "platform/Platform.h"
#include "server/Admission.h"
#include "server/Conversation.h"
#include "server/PushTopics.h"
#include "server/ReceiveBuffer.h"
#include "server/ReplySink.h"
#include "server/ServerLimits.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ZYL {

class ClientConnection final : public ReplySink {
public:
  // Takes ownership of `socket`. Pushes may queue up to `queueBound` bytes for a peer that
  // reads slower than they come. `peer`: the peer's address, when accept told it.
  explicit ClientConnection(platform::Socket socket,
                            std::size_t queueBound = server::kOutgoingQueueBytes,
                            std::optional<platform::Ipv4Address> peer = std::nullopt) noexcept;
  ~ClientConnection() override;
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

  // One text frame (SendTextFrame).
  void Send(std::string_view text) override;
  int Socket() const noexcept override { return socket_; }
  // The peer's address as accept told it, else as the system tells it now.
  std::optional<platform::Ipv4Address> Peer() const noexcept {
    return peer_ ? peer_ : platform::PeerAddress(socket_);
  }

  // For the connection's own thread: queues `bytes` (whole frames) behind what waits and
  // returns once they went out, waiting at most the send time-out. A send that fails, or
  // bytes not gone within the time-out, shut the connection down: a frame may be cut, so
  // nothing further may follow it, and the owner's next read fails and ends the connection.
  // False when the bytes did not all go out.
  bool SendBytes(std::string_view bytes) noexcept;

  // For the pushing thread: queues `bytes` (whole frames) and writes what the socket takes
  // now, never waiting on the peer. A push that would take the queue past its bound gives
  // the peer up, and so does a peer that took nothing for the send time-out while bytes
  // waited. False when the bytes were not taken (the connection is ending or shut down).
  bool Push(std::string_view bytes) noexcept;

  // Writes what the socket takes now of the queued bytes, a close frame for a slow peer
  // included. True while bytes still wait.
  bool WriteQueued() noexcept;

  // For the connection's own thread: exactly `size` bytes from the peer, waiting as long as
  // it takes; bytes that arrived with them stay buffered for the next read. False when the
  // peer closed or the connection failed first.
  bool ReceiveExactly(char* out, std::size_t size) {
    return received_.ReadExactly(socket_, out, size);
  }
  // For the connection's own thread: between 1 and `size` bytes from the peer, as many as
  // have come, waiting only until the first; the rest stays buffered. At most 0 when the
  // peer closed or the connection failed first.
  std::ptrdiff_t ReceiveSome(char* out, std::size_t size) {
    return received_.ReadSome(socket_, out, size);
  }
  // For the connection's own thread: up to `size` bytes that came with earlier reads, taken
  // without a copy (ReceiveBuffer::TakeBuffered); empty when none wait.
  std::string_view TakeBuffered(std::size_t size) noexcept { return received_.TakeBuffered(size); }
  // Whether bytes from the peer wait in the buffer, so that a read needs no wait.
  bool HasBufferedBytes() const noexcept { return received_.HasBuffered(); }
  // For the connection's own thread: the buffered bytes left in place, and one receive into
  // an empty buffer (ReceiveBuffer::Buffered, ReceiveAhead).
  std::string_view BufferedBytes() const noexcept { return received_.Buffered(); }
  std::ptrdiff_t ReceiveAhead(bool wait) { return received_.ReceiveAhead(socket_, wait); }

  // The topics whose pushes a JSON-protocol connection receives. Changed and checked under
  // the send lock, so no push of a topic follows the response that ends it.
  void SetTopics(TopicSet topics) noexcept;
  // Sends `text` as one text frame and sets the topics with no push between the two: pushes
  // of new topics follow the message (the response that subscribes), and a push caused
  // after the client read it is not missed.
  void SendThenSetTopics(std::string_view text, TopicSet topics);
  TopicSet Topics() const noexcept { return TopicSet::FromBits(topics_.load()); }
  // Pushes `bytes` as Push does while the connection holds `topic`; false otherwise.
  bool PushTopic(Topic topic, std::string_view bytes) noexcept;

  // The timeline a JSON-protocol connection means when a request or topic names none; -1:
  // none pinned. Set on the connection's own thread, read by the pushing threads too.
  std::int32_t PinnedTimeline() const noexcept { return pinnedTimeline_.load(); }
  void PinTimeline(std::int32_t timeline) noexcept { pinnedTimeline_.store(timeline); }
  // Unpins, unless the connection pinned another timeline than `timeline` meanwhile.
  void DropPin(std::int32_t timeline) noexcept {
    pinnedTimeline_.compare_exchange_strong(timeline, -1);
  }

  // For the connection's own thread, when the engine ends a JSON-protocol connection itself:
  // sends `closeFrame` as SendBytes does, as the last thing on the connection (no push
  // follows it), shuts the sending side down, then reads and drops what the peer still sends
  // until it closes, or server::kLingerMilliseconds passed or server::kLingerBytes came, so
  // that the socket is not closed over unread bytes (which resets the connection and can
  // lose the close frame). A stop's Shutdown ends the wait at once.
  void SendClose(std::string_view closeFrame) noexcept;

  // Sends `bytes` (a close frame) as the last thing on this connection, as far as the socket
  // takes it now, then shuts the connection down as Shutdown does; nothing another thread
  // sends can follow it, and nothing waits on the peer. Frames the peer had not begun are
  // dropped when they would not go out at once, so that the close frame still may.
  void SendLast(std::string_view bytes) noexcept;

  // Makes the owner's pending and future reads fail (server stop); the socket stays open
  // until the last holder lets go.
  void Shutdown() noexcept;

  // Whether a send buffer that grew for a large reply was given back since the last call:
  // the heap then holds free memory worth returning to the system.
  bool TakeLargeBufferReleased() noexcept { return largeBufferReleased_.exchange(false); }

  // Set by the handshake before the first message is read, and not changed after.
  void Admit(Admission admission) noexcept { admission_ = std::move(admission); }
  const Admission& Admitted() const noexcept { return admission_; }
  // The connection thread's and its handler's, never another thread's.
  Conversation& Talk() noexcept { return conversation_; }

private:
  // Writes from the queue's front until it is empty or the socket is full (sendLock_
  // held). False when a send failed, or the close frame of a slow peer went out; the
  // connection is then broken.
  bool WriteFront() noexcept;
  // Appends `bytes` to the queue (sendLock_ held). False when memory ran out; the
  // connection is then broken.
  bool Enqueue(std::string_view bytes) noexcept;
  // Queues `bytes` and, when given, sets the topics with no push between the two; then waits
  // for those bytes to go out, as SendBytes does.
  bool QueueAndWait(std::string_view bytes, std::optional<TopicSet> topics) noexcept;
  // Push with sendLock_ held.
  bool PushLocked(std::string_view bytes) noexcept;
  // Gives the peer up when bytes have waited for the send time-out without the peer taking
  // any (sendLock_ held). False when it did.
  bool CheckProgress() noexcept;
  // A peer that does not read (sendLock_ held): a JSON-protocol peer is closed with "too
  // slow", anyone else, or a peer that does not take even that, is broken. Always false.
  bool GiveUpOnSlowPeer() noexcept;
  // Drops the queued chunks behind the one being written, queues `closeFrame` last and
  // takes nothing more (sendLock_ held). False when memory ran out; the connection is then
  // broken.
  bool QueueCloseAfterChunkUnderWay(std::string_view closeFrame) noexcept;
  // Marks the connection broken, drops the queue and shuts the socket down (sendLock_
  // held); always false.
  bool Break() noexcept;
  // SendClose's wait for the peer's end, with the sending side shut down.
  void DropUntilPeerCloses() noexcept;

  const platform::Socket socket_;
  const std::optional<platform::Ipv4Address> peer_;
  const std::size_t queueBound_;
  ReceiveBuffer received_; // the connection thread's alone
  std::mutex sendLock_;
  // All guarded by sendLock_:
  std::string queue_;              // bytes of whole frames not yet written, oldest first
  std::uint64_t queuedTotal_ = 0;  // bytes ever queued
  std::uint64_t writtenTotal_ = 0; // bytes ever written
  // Where each queued chunk of whole frames ends (as a count of bytes ever queued), for the
  // chunks not yet wholly written, so that a close can follow the frame under way.
  std::deque<std::uint64_t> chunkEnds_;
  std::chrono::steady_clock::time_point lastProgress_; // last write, or queue start
  bool broken_ = false;
  bool closing_ = false;                // a close frame is queued last and nothing more is taken
  std::atomic<std::uint8_t> topics_{0}; // written under sendLock_
  std::atomic<bool> largeBufferReleased_{false};
  std::atomic<std::int32_t> pinnedTimeline_{-1};
  Admission admission_;
  Conversation conversation_;
};

// Writes what each connection's socket takes now of its queue; true while bytes still wait.
bool WriteQueuedToEach(const std::vector<std::shared_ptr<ClientConnection>>& connections) noexcept;

} // namespace ZYL
