// Host texts put into JSON records: whatever bytes the host sends, the result is one valid
// JSON string body in valid UTF-8, so it can break neither a client's JSON parser nor the
// WebSocket text frame that carries it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ZYL {

// The most characters one input byte can become ("\u001f", or "\ufffd" for a stray byte).
inline constexpr std::size_t kLongestEscapePerByte = 6;

// Appends `text` escaped for the inside of a JSON string: quotes, backslashes and control
// characters are escaped; each byte that is not part of a well-formed UTF-8 sequence
// becomes U+FFFD.
void AppendJsonStringBody(std::string& out, std::string_view text);

} // namespace ZYL
