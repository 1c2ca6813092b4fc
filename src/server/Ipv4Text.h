// IPv4 addresses as users write them: four decimal numbers joined by dots.
#pragma once

#include "platform/Platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

// "a.b.c.d", each part 0 to 255 in decimal without a leading zero (which some readers take
// for octal), and nothing else: no spaces, no shortened forms such as "127.1".
std::optional<platform::Ipv4Address> ParseIpv4(std::string_view text) noexcept;

std::string Ipv4Text(platform::Ipv4Address address);

// 127.0.0.0/8: only this machine can connect from there.
constexpr bool IsLoopback(platform::Ipv4Address address) noexcept { return (address >> 24) == 127; }

} // namespace ZYL
