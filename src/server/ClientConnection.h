// One accepted client socket, shared by its connection thread and (for pushes) the vitals
// thread. The socket is closed only when the last holder lets go, so its number cannot be
// handed to a newer connection while anyone may still write to it.
#pragma once

#include "platform/Platform.h"
#include "server/Admission.h"
#include "server/Conversation.h"
#include "server/PushTopics.h"
#include "server/ReplySink.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <utility>

namespace ZYL {

class ClientConnection final : public ReplySink {
public:
  // Takes ownership of `socket` and bounds how long one send may stall.
  explicit ClientConnection(platform::Socket socket) noexcept;
  ~ClientConnection() override;
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

  // One text frame (SendTextFrame).
  void Send(std::string_view text) override;
  int Socket() const noexcept override { return socket_; }

  // Writes `bytes` whole, completing short sends, under the connection's send lock so that
  // frames from different threads never interleave. A send that fails, or a write not done
  // within the send time-out, shuts the connection down: the frame may be cut, so nothing
  // further may follow it, and the owner's next read fails and ends the connection. False
  // when the bytes did not all go out.
  bool SendBytes(std::string_view bytes) noexcept;

  // The topics whose pushes a JSON-protocol connection receives. Changed and checked under
  // the send lock, so no push of a topic follows the response that ends it.
  void SetTopics(TopicSet topics) noexcept;
  // Sends `text` as one text frame and sets the topics with no push between the two: pushes
  // of new topics follow the message (the response that subscribes), and a push caused
  // after the client read it is not missed.
  void SendThenSetTopics(std::string_view text, TopicSet topics);
  TopicSet Topics() const noexcept { return TopicSet::FromBits(topics_.load()); }
  // Sends a push of `topic` while the connection holds that topic; false otherwise.
  bool SendPush(Topic topic, std::string_view bytes) noexcept;

  // Sends `bytes` (a close frame) as the last thing on this connection, then shuts it down
  // as Shutdown does; nothing another thread sends can follow them.
  void SendLast(std::string_view bytes) noexcept;

  // Makes the owner's pending and future reads fail (server stop); the socket stays open
  // until the last holder lets go.
  void Shutdown() noexcept;

  // Set by the handshake before the first message is read, and not changed after.
  void Admit(Admission admission) noexcept { admission_ = std::move(admission); }
  const Admission& Admitted() const noexcept { return admission_; }
  // The connection thread's and its handler's, never another thread's.
  Conversation& Talk() noexcept { return conversation_; }

private:
  // SendBytes with sendLock_ held.
  bool SendLocked(std::string_view bytes) noexcept;
  // Marks the connection broken and shuts it down (sendLock_ held); always false.
  bool Break() noexcept;

  const platform::Socket socket_;
  std::mutex sendLock_;
  bool broken_ = false;                 // guarded by sendLock_
  std::atomic<std::uint8_t> topics_{0}; // written under sendLock_
  Admission admission_;
  Conversation conversation_;
};

} // namespace ZYL
