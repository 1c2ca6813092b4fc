// The payload of a close frame the engine sends: why the connection ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ZYL {

// A control frame holds at most 125 bytes, two of which are the status code.
inline constexpr std::size_t kMaxCloseReasonBytes = 123;

// The 2-byte status code (big-endian) followed by `reason`, cut to kMaxCloseReasonBytes
// without splitting a UTF-8 sequence (the peer must find valid UTF-8 there).
std::string ClosePayload(std::uint16_t code, std::string_view reason);

// The whole close frame (opcode 8, unmasked) carrying ClosePayload(code, reason).
std::string CloseFrame(std::uint16_t code, std::string_view reason);

} // namespace ZYL
