#include "server/FrameReader.h"

#include "server/ClientConnection.h"
#include "server/FrameParser.h"

namespace ZYL {

namespace {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

FramedRead ReadFramed(ClientConnection& connection, FrameParser& parser, Deadline deadline) {
  std::string field;
  for (;;) {
    // Bytes already buffered need no wait; otherwise a read with a deadline waits only until
    // then.
    if (deadline && !connection.HasBufferedBytes()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            *deadline - std::chrono::steady_clock::now())
                            .count();
      const platform::WaitResult wait =
          left > 0 ? platform::WaitReadable(connection.Socket(), static_cast<int>(left))
                   : platform::WaitResult::TimedOut;
      if (wait == platform::WaitResult::TimedOut) return {FramedRead::Status::Late, {}};
    }
    // One field at a time (header, length, key, payload), each of the exact size the parser
    // asks for; the connection buffers what arrived with it, so a whole frame usually costs
    // one receive.
    const std::size_t wanted = parser.BytesWanted();
    field.resize(wanted);
    if (!connection.ReceiveExactly(field.data(), wanted)) return {};
    FrameParser::Step step = parser.Feed(field);
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
  }
}

} // namespace

std::string ReadLenientMessage(ClientConnection& connection) {
  FrameParser parser;
  return ReadFramed(connection, parser, std::nullopt).message;
}

FramedRead ReadRfc6455Message(ClientConnection& connection, Deadline deadline) {
  FrameParser parser(FrameParser::Rules::Rfc6455);
  return ReadFramed(connection, parser, deadline);
}

} // namespace ZYL
