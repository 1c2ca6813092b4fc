#include "server/FrameReader.h"

#include "server/ClientConnection.h"
#include "server/FrameParser.h"

#include <algorithm>

namespace ZYL {

namespace {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// How long a read may take: until the JSON protocol's deadline, and a begun message no
// longer than `wholeWithin`. The text protocol's read has neither bound: it takes each field
// whole, however long that takes.
struct ReadBounds {
  Deadline deadline;
  std::optional<std::chrono::milliseconds> wholeWithin;
  bool Bounded() const noexcept { return deadline || wholeWithin; }
};

FramedRead ReadFramed(ClientConnection& connection, FrameParser& parser, const ReadBounds& bounds) {
  std::string field;
  // When the first byte of the frame or message under way came (a flag beside a plain time
  // point rather than an optional one, which GCC takes for maybe unset where it is read).
  bool begun = false;
  std::chrono::steady_clock::time_point begunAt{};
  for (;;) {
    Deadline due = bounds.deadline;
    if (begun && bounds.wholeWithin) {
      const auto wholeBy = begunAt + *bounds.wholeWithin;
      if (!due || wholeBy < *due) due = wholeBy;
    }
    // Bytes already buffered need no wait; otherwise a bounded read waits only until then.
    if (due && !connection.HasBufferedBytes()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            *due - std::chrono::steady_clock::now())
                            .count();
      const platform::WaitResult wait =
          left > 0 ? platform::WaitReadable(connection.Socket(), static_cast<int>(left))
                   : platform::WaitResult::TimedOut;
      if (wait == platform::WaitResult::TimedOut) return {FramedRead::Status::Late, {}};
    }
    // One field at a time (header, length, key, payload), of the size the parser asks for;
    // the connection buffers what arrived with it, so a whole frame usually costs one
    // receive, and the parser reads buffered bytes where they lie. A bounded read takes what
    // has come, so that no receive outwaits the bound.
    const std::size_t wanted = parser.BytesWanted();
    std::string_view got = connection.TakeBuffered(wanted);
    if (got.empty()) {
      field.resize(wanted);
      std::size_t received = wanted;
      if (bounds.Bounded()) {
        const std::ptrdiff_t some = connection.ReceiveSome(field.data(), wanted);
        if (some <= 0) return {};
        received = static_cast<std::size_t>(some);
      } else if (!connection.ReceiveExactly(field.data(), wanted)) {
        return {};
      }
      got = std::string_view(field).substr(0, received);
    }
    if (!begun) {
      begun = true;
      begunAt = std::chrono::steady_clock::now();
    }
    FrameParser::Step step = parser.Feed(got);
    switch (step.outcome) {
    case FrameParser::Outcome::NeedMore:
      break;
    case FrameParser::Outcome::Message:
      return {FramedRead::Status::Message, std::move(step.data)};
    case FrameParser::Outcome::Reply:
      connection.SendBytes(step.data);
      break;
    case FrameParser::Outcome::End:
      // A fault is the engine's own close; a client's close is only answered.
      if (step.reason == FrameParser::EndReason::Violation)
        connection.SendClose(step.data);
      else if (!step.data.empty())
        connection.SendBytes(step.data);
      return {};
    }
    // A control frame between messages is done: the next byte starts the clock anew.
    if (!parser.Underway()) begun = false;
  }
}

} // namespace

std::string ReadLenientMessage(ClientConnection& connection) {
  FrameParser parser;
  return ReadFramed(connection, parser, {}).message;
}

FramedRead ReadRfc6455Message(ClientConnection& connection, Deadline deadline,
                              std::chrono::milliseconds wholeWithin) {
  FrameParser parser(FrameParser::Rules::Rfc6455);
  return ReadFramed(connection, parser, {deadline, wholeWithin});
}

} // namespace ZYL
