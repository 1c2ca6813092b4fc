// Where a command writes its replies: one text frame per Send.
#pragma once

#include <string_view>

namespace ZYL {

class ReplySink {
public:
  virtual ~ReplySink() = default;
  // Sends one text message; failures are not reported (the next read on a dead connection
  // ends it).
  virtual void Send(std::string_view text) = 0;
  // The connection's socket number, the key of the subscriber registry; -1 when the sink is
  // not a connection.
  virtual int Socket() const noexcept = 0;
};

} // namespace ZYL
