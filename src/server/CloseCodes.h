// Every status code the engine ends a structured-protocol connection with, listed once: the
// enum, the frame codec, the session and the protocol description all read this list.
#pragma once

#include <cstdint>
#include <string_view>

namespace ZYL {

// X(enumerator, number, wire name, when it is sent)
#define ZYL_CLOSE_CODES(X)                                                                         \
  X(GoingAway, 1001, "going_away",                                                                 \
    "the engine is stopping (the editor detaches or shuts the plug-in down)")                      \
  X(ProtocolError, 1002, "protocol_error",                                                         \
    "a reserved bit, a continuation with no message begun, a data frame inside a fragmented "      \
    "message, a control frame longer than 125 bytes or fragmented, an unmasked frame, a 64-bit "   \
    "length with its top bit set, or a close of 1 byte or with a code no endpoint may send")       \
  X(BinaryMessage, 1003, "binary_message", "a binary message")                                     \
  X(InvalidUtf8, 1007, "invalid_utf8", "a text message or a close reason that is not valid UTF-8") \
  X(MessageTooLong, 1009, "message_too_long", "a message longer than 65535 bytes")                 \
  X(InternalError, 1011, "internal_error",                                                         \
    "the engine cannot make a safe authentication challenge now")                                  \
  X(MalformedMessage, 4000, "malformed_message",                                                   \
    "not JSON, not an object, op missing or not a string, nesting deeper than 32, or an "          \
    "identify whose members are ill-formed")                                                       \
  X(UnknownOp, 4001, "unknown_op", "an op the protocol does not have, also before identified")     \
  X(NotIdentified, 4002, "not_identified",                                                         \
    "any known op but identify before identified, or no whole identify within 10 s of hello, "     \
    "however its bytes come")                                                                      \
  X(AlreadyIdentified, 4003, "already_identified", "a second identify")                            \
  X(AuthenticationFailed, 4004, "authentication_failed",                                           \
    "a wrong authentication answer, or none while a password is set; closed after a delay of 1 s") \
  X(UnsupportedProtocol, 4005, "unsupported_protocol", "identify with a protocol other than 2")    \
  X(TooSlow, 4006, "too_slow", "the client does not read and what waits for it passed its bound")  \
  X(IncompleteMessage, 4007, "incomplete_message",                                                 \
    "once identified, a message not whole within 10 s of its first byte")

enum class CloseCode : std::uint16_t {
#define ZYL_CLOSE_CODE_ENUMERATOR(enumerator, number, name, summary) enumerator = number,
  ZYL_CLOSE_CODES(ZYL_CLOSE_CODE_ENUMERATOR)
#undef ZYL_CLOSE_CODE_ENUMERATOR
};

struct CloseCodeInfo {
  CloseCode code;
  std::string_view name;
  std::string_view summary;
};

inline constexpr CloseCodeInfo kCloseCodes[] = {
#define ZYL_CLOSE_CODE_INFO(enumerator, number, name, summary)                                     \
  {CloseCode::enumerator, name, summary},
    ZYL_CLOSE_CODES(ZYL_CLOSE_CODE_INFO)
#undef ZYL_CLOSE_CODE_INFO
};

inline constexpr std::uint16_t CloseNumber(CloseCode code) noexcept {
  return static_cast<std::uint16_t>(code);
}

// Whether an endpoint may put `number` in a close frame (RFC 6455 7.4): the codes the RFC
// defines for that, the ones IANA registered since (1012 to 1014), and the ranges of
// libraries and applications. 1004 is reserved, 1005, 1006 and 1015 stand only for a close
// without a code, and the rest below 3000 is unassigned.
inline constexpr bool MayBeSentInAClose(std::uint16_t number) noexcept {
  return (number >= 1000 && number <= 1003) || (number >= 1007 && number <= 1014) ||
         (number >= 3000 && number <= 4999);
}

} // namespace ZYL
