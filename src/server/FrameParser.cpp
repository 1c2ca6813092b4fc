#include "server/FrameParser.h"

#include "server/CloseCodes.h"
#include "server/ClosePayload.h"
#include "server/ValidUtf8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace ZYL {

namespace {

// XORs `payload` with the repeating four-byte key, eight bytes at a time where it can.
void Unmask(std::string& payload, const std::array<std::uint8_t, 4>& key) {
  std::uint8_t keyTwice[8];
  for (std::size_t i = 0; i < 8; ++i)
    keyTwice[i] = key[i % 4];
  std::uint64_t wide = 0;
  std::memcpy(&wide, keyTwice, sizeof wide);
  std::size_t i = 0;
  for (; i + 8 <= payload.size(); i += 8) {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, payload.data() + i, sizeof chunk);
    chunk ^= wide;
    std::memcpy(payload.data() + i, &chunk, sizeof chunk);
  }
  for (; i < payload.size(); ++i)
    payload[i] = static_cast<char>(static_cast<std::uint8_t>(payload[i]) ^ key[i % 4]);
}

constexpr std::uint8_t kOpcodeContinuation = 0x0;
constexpr std::uint8_t kOpcodeText = 0x1;
constexpr std::uint8_t kOpcodeBinary = 0x2;
constexpr std::uint8_t kOpcodeClose = 0x8;
constexpr std::uint8_t kOpcodePing = 0x9;
constexpr std::uint8_t kOpcodePong = 0xA;
constexpr std::uint16_t kProtocolError = CloseNumber(CloseCode::ProtocolError);
constexpr std::uint16_t kUnacceptableData = CloseNumber(CloseCode::BinaryMessage);
constexpr std::uint16_t kInvalidPayload = CloseNumber(CloseCode::InvalidUtf8);
constexpr std::uint16_t kMessageTooBig = CloseNumber(CloseCode::MessageTooLong);
constexpr std::uint8_t kLengthCode16Bit = 126;
constexpr std::uint8_t kLengthCode64Bit = 127;
constexpr std::size_t kLargestControlPayload = 125;

std::string CloseReply(std::string_view payload) {
  // Echo the status code only; the reason text is the client's business.
  if (payload.size() < 2) return std::string("\x88\x00", 2);
  std::string reply("\x88\x02", 2);
  reply.append(payload.substr(0, 2));
  return reply;
}

std::string PongReply(std::string_view payload) {
  const std::size_t size = std::min(payload.size(), kLargestControlPayload);
  std::string reply;
  reply.push_back('\x8A');
  reply.push_back(static_cast<char>(size));
  reply.append(payload.substr(0, size));
  return reply;
}

} // namespace

std::size_t FrameParser::BytesWanted() const noexcept {
  if (phase_ == Phase::Payload) return payloadLength_ - payload_.size();
  return fieldWanted_ - fieldSize_;
}

FrameParser::Step FrameParser::Feed(std::string_view bytes) {
  Step step;
  while (step.consumed < bytes.size()) {
    const std::string_view rest = bytes.substr(step.consumed);
    const std::size_t take = std::min(rest.size(), BytesWanted());
    if (phase_ == Phase::Payload) {
      payload_.append(rest.substr(0, take));
    } else {
      // BytesWanted() keeps fieldSize_ + take within the field; the explicit bound lets the
      // optimiser see it too.
      for (std::size_t i = 0; i < take && fieldSize_ < field_.size(); ++i)
        field_[fieldSize_++] = static_cast<std::uint8_t>(rest[i]);
    }
    step.consumed += take;
    if (BytesWanted() == 0 && FinishField(step)) return step;
  }
  return step;
}

bool FrameParser::FinishField(Step& step) {
  switch (phase_) {
  case Phase::Header: {
    opcode_ = field_[0] & 0x0F; // the text rules examine neither FIN nor RSV1-3
    final_ = (field_[0] & 0x80) != 0;
    reservedBits_ = (field_[0] & 0x70) != 0;
    masked_ = (field_[1] & 0x80) != 0;
    const std::uint8_t lengthCode = field_[1] & 0x7F;
    if (lengthCode == kLengthCode64Bit && rules_ == Rules::Lenient) {
      // 64-bit length: no message of ours is that large, so the connection ends.
      step.outcome = Outcome::End;
      step.reason = EndReason::LongLength;
      return true;
    }
    if (lengthCode >= kLengthCode16Bit) {
      // A client may use a longer form than its length needs, so the RFC 6455 rules judge a
      // 64-bit length by its value.
      phase_ = Phase::ExtendedLength;
      fieldSize_ = 0;
      fieldWanted_ = lengthCode == kLengthCode16Bit ? 2 : 8;
      return false;
    }
    payloadLength_ = lengthCode;
    if (rules_ == Rules::Rfc6455 && CheckRfc6455Header(step)) return true;
    break;
  }
  case Phase::ExtendedLength: {
    std::uint64_t length = 0;
    for (std::size_t i = 0; i < fieldWanted_; ++i)
      length = length << 8 | field_[i];
    if (length >> 63 != 0)
      return Violate(step, kProtocolError, "64-bit length with its top bit set");
    // Only the RFC 6455 rules read 64 bits, and they refuse every length past the largest
    // message alike: it is held as one byte more.
    payloadLength_ =
        static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxRfc6455MessageBytes + 1));
    if (rules_ == Rules::Rfc6455 && CheckRfc6455Header(step)) return true;
    break;
  }
  case Phase::MaskKey:
    std::copy_n(field_.begin(), 4, maskKey_.begin());
    return StartPayload(step);
  case Phase::Payload:
    return FinishFrame(step);
  }
  if (masked_) {
    phase_ = Phase::MaskKey;
    fieldSize_ = 0;
    fieldWanted_ = 4;
    return false;
  }
  maskKey_.fill(0); // the text rules take unmasked frames from the client
  return StartPayload(step);
}

bool FrameParser::StartPayload(Step& step) {
  if (payloadLength_ > 0) {
    phase_ = Phase::Payload;
    payload_.clear();
    payload_.reserve(payloadLength_);
    return false;
  }
  return FinishFrame(step);
}

bool FrameParser::FinishFrame(Step& step) {
  Unmask(payload_, maskKey_);
  const std::uint8_t opcode = opcode_;
  std::string payload = std::move(payload_);
  ResetForNextFrame();
  if (FinishControlFrame(opcode, payload, step)) return true;
  if (rules_ == Rules::Rfc6455) return FinishRfc6455Frame(opcode, std::move(payload), step);
  switch (opcode) {
  case kOpcodeText:
    if (payload.empty()) {
      // An empty message cannot be told from the end of the connection.
      step.outcome = Outcome::End;
      step.reason = EndReason::EmptyText;
      return true;
    }
    step.outcome = Outcome::Message;
    step.data = std::move(payload);
    return true;
  default:
    // Continuation, binary, pong and reserved opcodes carry nothing for us.
    return false;
  }
}

bool FrameParser::CheckRfc6455Header(Step& step) {
  if (reservedBits_) return Violate(step, kProtocolError, "reserved bit set");
  // RFC 6455 5.1: a server must close on an unmasked client frame.
  if (!masked_) return Violate(step, kProtocolError, "frame not masked");
  switch (opcode_) {
  case kOpcodeClose:
  case kOpcodePing:
  case kOpcodePong:
    if (!final_) return Violate(step, kProtocolError, "fragmented control frame");
    if (payloadLength_ > kLargestControlPayload)
      return Violate(step, kProtocolError, "control frame longer than 125 bytes");
    return false;
  case kOpcodeText:
  case kOpcodeBinary:
    // A new message inside a fragmented one breaks the framing (RFC 6455 5.4), whatever its
    // kind; only a binary message that could stand is refused for being binary.
    if (fragmented_) return Violate(step, kProtocolError, "new message inside a fragmented one");
    if (opcode_ == kOpcodeBinary)
      return Violate(step, kUnacceptableData, "binary messages are not accepted");
    break;
  case kOpcodeContinuation:
    if (!fragmented_) return Violate(step, kProtocolError, "continuation without a message");
    break;
  default:
    return Violate(step, kProtocolError, "reserved opcode");
  }
  // Checked before the payload is read, so a long message is never held.
  if (payloadLength_ > kMaxRfc6455MessageBytes - message_.size())
    return Violate(step, kMessageTooBig, "message too long");
  return false;
}

bool FrameParser::FinishControlFrame(std::uint8_t opcode, const std::string& payload, Step& step) {
  switch (opcode) {
  case kOpcodeClose:
    if (rules_ == Rules::Rfc6455 && CheckRfc6455Close(payload, step)) return true;
    step.outcome = Outcome::End;
    step.reason = EndReason::CloseFrame;
    step.data = CloseReply(payload);
    return true;
  case kOpcodePing:
    step.outcome = Outcome::Reply;
    step.data = PongReply(payload);
    return true;
  default:
    return false;
  }
}

bool FrameParser::CheckRfc6455Close(std::string_view payload, Step& step) {
  if (payload.empty()) return false;
  if (payload.size() == 1) return Violate(step, kProtocolError, "close payload of 1 byte");
  const auto code = static_cast<std::uint16_t>(static_cast<std::uint8_t>(payload[0]) << 8 |
                                               static_cast<std::uint8_t>(payload[1]));
  if (!MayBeSentInAClose(code)) return Violate(step, kProtocolError, "close code not for sending");
  if (!IsValidUtf8(payload.substr(2)))
    return Violate(step, kInvalidPayload, "close reason not valid UTF-8");
  return false;
}

bool FrameParser::FinishRfc6455Frame(std::uint8_t opcode, std::string payload, Step& step) {
  switch (opcode) {
  case kOpcodePong:
    return false;
  default: // text or continuation, as CheckRfc6455Header let through
    // A message in one frame, as most are, is taken whole rather than copied.
    if (message_.empty())
      message_ = std::move(payload);
    else
      message_.append(payload);
    fragmented_ = !final_;
    if (fragmented_) return false;
    if (!IsValidUtf8(message_)) return Violate(step, kInvalidPayload, "invalid UTF-8");
    step.outcome = Outcome::Message;
    step.data = std::move(message_);
    message_.clear();
    return true;
  }
}

bool FrameParser::Violate(Step& step, std::uint16_t code, std::string_view reason) {
  step.outcome = Outcome::End;
  step.reason = EndReason::Violation;
  step.data = CloseFrame(code, reason);
  return true;
}

void FrameParser::ResetForNextFrame() noexcept {
  phase_ = Phase::Header;
  fieldSize_ = 0;
  fieldWanted_ = 2;
  payload_.clear();
  payloadLength_ = 0;
}

} // namespace ZYL
