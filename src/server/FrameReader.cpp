#include "server/FrameReader.h"

#include "server/ClientConnection.h"
#include "server/FrameParser.h"

namespace ZYL {

namespace {

using Clock = std::chrono::steady_clock;

JsonRead ReadMessage(ClientConnection& connection, FrameParser& parser,
                     std::optional<Clock::time_point> deadline) {
  std::string field;
  for (;;) {
    if (deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      const platform::WaitResult wait =
          left > 0 ? platform::WaitReadable(connection.Socket(), static_cast<int>(left))
                   : platform::WaitResult::TimedOut;
      if (wait == platform::WaitResult::TimedOut) return {JsonRead::Status::Late, {}};
    }
    // One waiting receive per field (header, length, key, payload), each of the exact size
    // the parser asks for, so no byte of the next frame is taken early.
    const std::size_t wanted = parser.BytesWanted();
    field.resize(wanted);
    const std::ptrdiff_t got = platform::Receive(connection.Socket(), field.data(), wanted, true);
    if (got != static_cast<std::ptrdiff_t>(wanted)) return {};
    FrameParser::Step step = parser.Feed(field);
    switch (step.outcome) {
    case FrameParser::Outcome::NeedMore:
      break;
    case FrameParser::Outcome::Message:
      return {JsonRead::Status::Message, std::move(step.data)};
    case FrameParser::Outcome::Reply:
      connection.SendBytes(step.data);
      break;
    case FrameParser::Outcome::End:
      if (!step.data.empty()) connection.SendBytes(step.data);
      return {};
    }
  }
}

} // namespace

std::string ReadTextMessage(ClientConnection& connection) {
  FrameParser parser;
  return ReadMessage(connection, parser, std::nullopt).message;
}

JsonRead ReadJsonMessage(ClientConnection& connection, std::optional<Clock::time_point> deadline) {
  FrameParser parser(FrameParser::Rules::Json);
  return ReadMessage(connection, parser, deadline);
}

} // namespace ZYL
