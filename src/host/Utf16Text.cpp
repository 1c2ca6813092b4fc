#include "host/Utf16Text.h"

#include <cstdint>

namespace ZYL {

namespace {

constexpr char32_t kReplacementCodePoint = 0xFFFD;

bool IsHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t point) {
  const auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
  if (point < 0x80) {
    byte(point);
  } else if (point < 0x800) {
    byte(0xC0 | (point >> 6));
    byte(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    byte(0xE0 | (point >> 12));
    byte(0x80 | ((point >> 6) & 0x3F));
    byte(0x80 | (point & 0x3F));
  } else {
    byte(0xF0 | (point >> 18));
    byte(0x80 | ((point >> 12) & 0x3F));
    byte(0x80 | ((point >> 6) & 0x3F));
    byte(0x80 | (point & 0x3F));
  }
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t at = 0; at < units.size(); ++at) {
    const char16_t unit = units[at];
    if (IsHighSurrogate(unit) && at + 1 < units.size() && IsLowSurrogate(units[at + 1])) {
      const char32_t high = unit - 0xD800;
      const char32_t low = units[++at] - 0xDC00;
      AppendUtf8(out, 0x10000 + (high << 10) + low);
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacementCodePoint);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

} // namespace ZYL
