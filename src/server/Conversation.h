// What the connection thread and the protocol's handler share about one connection: when
// its next message must have come, whether the handler has ended it, and the handler's own
// state. Touched only on the connection's own thread.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

namespace ZYL {

// The protocol's state for one connection; the handler that sets it knows its type.
class ConversationState {
public:
  virtual ~ConversationState() = default;
};

struct Conversation {
  // The next message must have come by then, else the handler's Late is called.
  std::optional<std::chrono::steady_clock::time_point> readDeadline;
  // The handler has closed the connection: no further message is read.
  bool ended = false;
  std::unique_ptr<ConversationState> state;
};

} // namespace ZYL
