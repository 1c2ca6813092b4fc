// Text conversions between the project file (UTF-8) and the suites' UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace zylsim {

// Malformed input becomes U+FFFD, so any byte string converts.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

} // namespace zylsim
