// UTF-8 as the JSON protocol needs it: a client's text messages must be valid, and host
// texts are sent valid whatever bytes the host gave.
#pragma once

#include <string>
#include <string_view>

namespace ZYL {

// `text` with each ill-formed UTF-8 sequence replaced by one U+FFFD: a byte that cannot
// start a sequence, or the longest start of a sequence that the next byte breaks off (the
// Unicode standard's "maximal subpart" practice, which browsers' decoders follow too).
// Well-formed text comes back unchanged.
std::string ToValidUtf8(std::string_view text);

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code points beyond
// U+10FFFF).
bool IsValidUtf8(std::string_view text) noexcept;

} // namespace ZYL
