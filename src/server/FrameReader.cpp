#include "server/FrameReader.h"

#include "server/ClientConnection.h"
#include "server/FrameParser.h"

namespace ZYL {

std::string ReadTextMessage(ClientConnection& connection) {
  FrameParser parser;
  std::string field;
  for (;;) {
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
