// Reads a client's frames from bytes, without a socket: fed any slice of the stream, it
// reports that it needs more, a complete text message, a control reply to send before
// reading on, or the end of the connection. Two rule sets share the header reading: a
// lenient one, and one that follows RFC 6455 (fragments joined, faults closed with their
// status code). Which connection reads by which is the handshake's choice.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ZYL {

class FrameParser {
public:
  enum class Rules {
    Lenient, // FIN and reserved bits ignored; continuation, binary and pong frames skipped
    Rfc6455, // frames masked, fragments joined, at most kMaxRfc6455MessageBytes, UTF-8
  };
  static constexpr std::size_t kMaxRfc6455MessageBytes = 65535;

  explicit FrameParser(Rules rules = Rules::Lenient) noexcept : rules_(rules) {}

  enum class Outcome {
    NeedMore, // every byte given was taken; the frame is not complete
    Message,  // `data` is a text message (never empty under the lenient rules)
    Reply,    // `data` is a pong to send; then feed on
    End,      // the connection is over; `data` is a close reply to send first, or empty
  };
  enum class EndReason { None, CloseFrame, EmptyText, LongLength, Violation };

  struct Step {
    Outcome outcome = Outcome::NeedMore;
    std::size_t consumed = 0; // bytes of the input taken; the rest belongs to later frames
    std::string data;
    EndReason reason = EndReason::None;
  };

  // Takes bytes up to the end of the first frame that yields an outcome. After End the
  // parser must not be fed again.
  Step Feed(std::string_view bytes);

  // How many bytes finish the field being read (header, extended length, mask key,
  // payload); the socket reader asks for exactly these with one waiting receive.
  std::size_t BytesWanted() const noexcept;

  // Whether bytes of a frame, or the first fragments of a message, have been taken and the
  // frame or message is not complete yet.
  bool Underway() const noexcept {
    return phase_ != Phase::Header || fieldSize_ > 0 || fragmented_;
  }

private:
  enum class Phase { Header, ExtendedLength, MaskKey, Payload };

  // Called when a field is complete; returns an outcome when the frame produced one.
  bool FinishField(Step& step);
  bool StartPayload(Step& step);
  bool FinishFrame(Step& step);
  // The RFC 6455 rules' checks of a frame whose header and length are known.
  bool CheckRfc6455Header(Step& step);
  // A close is answered and ends the connection, a ping is answered with its pong; both
  // rule sets alike, but that the RFC 6455 rules check a close first. False for every other
  // opcode.
  bool FinishControlFrame(std::uint8_t opcode, const std::string& payload, Step& step);
  // The RFC 6455 rules' checks of a client's close (RFC 6455 5.5.1, 7.4): true when it is faulty
  // and `step` ends the connection with the fault's own close.
  static bool CheckRfc6455Close(std::string_view payload, Step& step);
  bool FinishRfc6455Frame(std::uint8_t opcode, std::string payload, Step& step);
  // Ends the connection with a close frame carrying `code` and `reason`.
  static bool Violate(Step& step, std::uint16_t code, std::string_view reason);
  void ResetForNextFrame() noexcept;

  const Rules rules_;
  Phase phase_ = Phase::Header;
  std::array<std::uint8_t, 8> field_{};
  std::size_t fieldSize_ = 0;
  std::size_t fieldWanted_ = 2;
  std::uint8_t opcode_ = 0;
  bool final_ = true;
  bool reservedBits_ = false;
  bool fragmented_ = false; // a message's first fragment has come, its last not yet
  std::string message_;     // the fragments so far
  bool masked_ = false;
  std::array<std::uint8_t, 4> maskKey_{};
  std::size_t payloadLength_ = 0;
  std::string payload_;
};

} // namespace ZYL
