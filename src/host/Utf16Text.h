// Host texts that come as UTF-16 units (marker names), turned into the UTF-8 that clients
// read.
#pragma once

#include <string>
#include <string_view>

namespace ZYL {

// The UTF-8 form of `units`, with one U+FFFD for each surrogate that has no partner.
std::string Utf16ToUtf8(std::u16string_view units);

} // namespace ZYL
