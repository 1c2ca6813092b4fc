#include "server/FrameWriter.h"

#include "server/ClientConnection.h"

#include <cstdint>
#include <utility>

namespace ZYL {

namespace {
constexpr char kFinText = '\x81';
constexpr std::size_t kLargest7BitLength = 125;
constexpr std::size_t kLargest16BitLength = 0xFFFF;
constexpr char k16BitLengthCode = 126;
constexpr char k64BitLengthCode = 127;

// The header of an unmasked, unfragmented text frame of `size` bytes.
struct FrameHeader {
  char bytes[10] = {};
  std::size_t size = 0;
  void Add(char byte) noexcept { bytes[size++] = byte; }
};

FrameHeader TextFrameHeader(std::uint64_t size) noexcept {
  FrameHeader header;
  header.Add(kFinText);
  if (size <= kLargest7BitLength) {
    header.Add(static_cast<char>(size));
  } else if (size <= kLargest16BitLength) {
    header.Add(k16BitLengthCode);
    header.Add(static_cast<char>(size >> 8));
    header.Add(static_cast<char>(size & 0xFF));
  } else {
    // A 16-bit field would wrap and desynchronise the stream; RFC 6455 has the 64-bit form.
    header.Add(k64BitLengthCode);
    for (int shift = 56; shift >= 0; shift -= 8)
      header.Add(static_cast<char>((size >> shift) & 0xFF));
  }
  return header;
}

} // namespace

std::string EncodeTextFrame(std::string_view text) {
  const FrameHeader header = TextFrameHeader(text.size());
  std::string frame;
  frame.reserve(header.size + text.size());
  frame.append(header.bytes, header.size);
  frame.append(text);
  return frame;
}

std::string EncodeTextFrameInPlace(std::string text) {
  const FrameHeader header = TextFrameHeader(text.size());
  text.insert(0, header.bytes, header.size);
  return text;
}

void SendTextFrame(ClientConnection& connection, std::string_view text) {
  connection.SendBytes(EncodeTextFrame(text));
}

void SendOwnedTextFrame(ClientConnection& connection, std::string text) {
  connection.SendBytes(EncodeTextFrameInPlace(std::move(text)));
}

} // namespace ZYL
