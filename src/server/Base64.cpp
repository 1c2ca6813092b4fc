#include "server/Base64.h"

#include <algorithm>
#include <string_view>

namespace ZYL {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string Base64Encode(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = std::uint32_t{bytes[i]} << 16;
    if (count > 1) group |= std::uint32_t{bytes[i + 1]} << 8;
    if (count > 2) group |= bytes[i + 2];
    text.push_back(kAlphabet[(group >> 18) & 0x3F]);
    text.push_back(kAlphabet[(group >> 12) & 0x3F]);
    text.push_back(count > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    text.push_back(count > 2 ? kAlphabet[group & 0x3F] : '=');
  }
  return text;
}

} // namespace ZYL
