#include "server/ClosePayload.h"

namespace ZYL {

std::string ClosePayload(std::uint16_t code, std::string_view reason) {
  if (reason.size() > kMaxCloseReasonBytes) {
    std::size_t cut = kMaxCloseReasonBytes;
    // Back up over continuation bytes to the start of the sequence that would be split.
    while (cut > 0 && (static_cast<std::uint8_t>(reason[cut]) & 0xC0) == 0x80)
      --cut;
    reason = reason.substr(0, cut);
  }
  std::string payload;
  payload.reserve(2 + reason.size());
  payload.push_back(static_cast<char>(code >> 8));
  payload.push_back(static_cast<char>(code & 0xFF));
  payload.append(reason);
  return payload;
}

std::string CloseFrame(std::uint16_t code, std::string_view reason) {
  const std::string payload = ClosePayload(code, reason);
  std::string frame;
  frame.push_back('\x88');
  frame.push_back(static_cast<char>(payload.size())); // at most 125: a 7-bit length
  frame.append(payload);
  return frame;
}

} // namespace ZYL
