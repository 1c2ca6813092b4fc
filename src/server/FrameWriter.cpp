#include "server/FrameWriter.h"

#include "server/ClientConnection.h"

#include <cstdint>

namespace ZYL {

namespace {
constexpr char kFinText = '\x81';
constexpr std::size_t kLargest7BitLength = 125;
constexpr std::size_t kLargest16BitLength = 0xFFFF;
constexpr char k16BitLengthCode = 126;
constexpr char k64BitLengthCode = 127;
} // namespace

std::string EncodeTextFrame(std::string_view text) {
  const std::uint64_t size = text.size();
  std::string frame;
  frame.reserve(text.size() + 10);
  frame.push_back(kFinText);
  if (size <= kLargest7BitLength) {
    frame.push_back(static_cast<char>(size));
  } else if (size <= kLargest16BitLength) {
    frame.push_back(k16BitLengthCode);
    frame.push_back(static_cast<char>(size >> 8));
    frame.push_back(static_cast<char>(size & 0xFF));
  } else {
    // A 16-bit field would wrap and desynchronise the stream; RFC 6455 has the 64-bit form.
    frame.push_back(k64BitLengthCode);
    for (int shift = 56; shift >= 0; shift -= 8)
      frame.push_back(static_cast<char>((size >> shift) & 0xFF));
  }
  frame.append(text);
  return frame;
}

void SendTextFrame(ClientConnection& connection, std::string_view text) {
  connection.SendBytes(EncodeTextFrame(text));
}

} // namespace ZYL
