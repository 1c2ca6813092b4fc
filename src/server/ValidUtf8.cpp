#include "server/ValidUtf8.h"

#include <cstdint>
#include <cstring>

namespace ZYL {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::size_t kWord = sizeof(std::uint64_t);

// Whether none of the kWord bytes at `at` has its top bit set.
bool AsciiWordAt(std::string_view text, std::size_t at) noexcept {
  std::uint64_t word = 0;
  std::memcpy(&word, text.data() + at, kWord);
  return (word & 0x8080808080808080) == 0;
}

struct SequenceShape {
  std::size_t length = 0; // 0: the byte cannot start a sequence
  std::uint8_t secondLow = 0x80;
  std::uint8_t secondHigh = 0xBF;
};

SequenceShape ShapeOf(std::uint8_t lead) noexcept {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF}; // no overlong forms
  if (lead == 0xED) return {3, 0x80, 0x9F}; // no surrogates
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF}; // no overlong forms
  if (lead == 0xF4) return {4, 0x80, 0x8F}; // nothing beyond U+10FFFF
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  return {};
}

// How many bytes from `start` belong to the sequence begun there: all of them when it is
// well-formed, else its maximal ill-formed subpart (at least one byte). Sets `wellFormed`.
std::size_t SequenceAt(std::string_view text, std::size_t start, bool& wellFormed) noexcept {
  const SequenceShape shape = ShapeOf(static_cast<std::uint8_t>(text[start]));
  wellFormed = false;
  if (shape.length == 0) return 1;
  std::size_t taken = 1;
  while (taken < shape.length && start + taken < text.size()) {
    const auto byte = static_cast<std::uint8_t>(text[start + taken]);
    const bool fits = taken == 1 ? (byte >= shape.secondLow && byte <= shape.secondHigh)
                                 : (byte >= 0x80 && byte <= 0xBF);
    if (!fits) return taken;
    ++taken;
  }
  wellFormed = taken == shape.length;
  return taken;
}

} // namespace

std::string ToValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (static_cast<std::uint8_t>(text[i]) < 0x80) {
      valid.push_back(text[i++]);
      continue;
    }
    bool wellFormed = false;
    const std::size_t length = SequenceAt(text, i, wellFormed);
    if (wellFormed)
      valid.append(text.substr(i, length));
    else
      valid.append(kReplacementUtf8);
    i += length;
  }
  return valid;
}

bool IsValidUtf8(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size()) {
    // Most messages are all ASCII: they pass eight bytes at a time.
    if (i + kWord <= text.size() && AsciiWordAt(text, i)) {
      i += kWord;
      continue;
    }
    if (static_cast<std::uint8_t>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    bool wellFormed = false;
    i += SequenceAt(text, i, wellFormed);
    if (!wellFormed) return false;
  }
  return true;
}

} // namespace ZYL
