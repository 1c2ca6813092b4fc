#include "server/FrameReader.h"

#include "server/ClientConnection.h"
#include "server/FrameParser.h"

namespace ZYL {

std::string ReadTextMessage(ClientConnection& connection) {
  FrameParser parser;
  std::string field;
  for (;;) {
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
      return std::move(step.data);
    case FrameParser::Outcome::Reply:
      connection.SendBytes(step.data);
      break;
    case FrameParser::Outcome::End:
      if (!step.data.empty()) connection.SendBytes(step.data);
      return {};
    }
  }
}

} // namespace ZYL
