// Where the host's transport and marker notifications go: the publisher in the engine, a
// recorder in tests.
#pragma once

#include <string>

namespace ZYL {

class EventSink {
public:
  virtual ~EventSink() = default;
  // Whether anyone listens; work that only feeds the pushes is skipped while nobody does.
  virtual bool HasSubscribers() const noexcept = 0;
  // Queues one event text; never throws.
  virtual void PublishEvent(const std::string& text) noexcept = 0;
};

} // namespace ZYL
