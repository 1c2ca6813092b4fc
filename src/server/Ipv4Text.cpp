#include "server/Ipv4Text.h"

namespace ZYL {

namespace {

constexpr int kParts = 4;
constexpr unsigned kLargestPart = 255;
constexpr std::size_t kLongestPart = 3;

} // namespace

std::optional<platform::Ipv4Address> ParseIpv4(std::string_view text) noexcept {
  platform::Ipv4Address address = 0;
  for (int part = 0; part < kParts; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' &&
           digits < kLongestPart) {
      value = value * 10 + static_cast<unsigned>(text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || value > kLargestPart || (digits > 1 && text.front() == '0'))
      return std::nullopt;
    text.remove_prefix(digits);
    address = (address << 8) | value;
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

std::string Ipv4Text(platform::Ipv4Address address) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (!text.empty()) text += '.';
    text += std::to_string((address >> shift) & 0xFFu);
  }
  return text;
}

} // namespace ZYL
