// RFC 4648 base64: the standard alphabet, with padding.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ZYL {

std::string Base64Encode(std::span<const std::uint8_t> bytes);

} // namespace ZYL
