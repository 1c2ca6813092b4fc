#include "vitals/JsonString.h"

#include <cstdint>

namespace ZYL {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when its first byte
// does not begin one (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut
// short).
std::size_t Utf8SequenceLength(std::string_view text) noexcept {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t secondLow = 0x80;
  std::uint8_t secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;  // overlong
    if (lead == 0xED) secondHigh = 0x9F; // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;  // overlong
    if (lead == 0xF4) secondHigh = 0x8F; // beyond U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < secondLow || byte(1) > secondHigh) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void AppendControlEscape(std::string& out, char c) {
  switch (c) {
  case '\b':
    out += "\\b";
    return;
  case '\f':
    out += "\\f";
    return;
  case '\n':
    out += "\\n";
    return;
  case '\r':
    out += "\\r";
    return;
  case '\t':
    out += "\\t";
    return;
  default: {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto value = static_cast<std::uint8_t>(c);
    out += "\\u00";
    out += kHex[value >> 4];
    out += kHex[value & 0x0F];
  }
  }
}

} // namespace

void AppendJsonStringBody(std::string& out, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const auto value = static_cast<std::uint8_t>(c);
    if (value < 0x80) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += c;
      } else if (value < 0x20) {
        AppendControlEscape(out, c);
      } else {
        out += c;
      }
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text.substr(i));
    if (length == 0) {
      out += "\\ufffd";
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
}

} // namespace ZYL
