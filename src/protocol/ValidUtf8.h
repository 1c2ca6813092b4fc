// Host texts as the JSON protocol sends them: valid UTF-8 whatever bytes the host gave.
#pragma once

#include <string>
#include <string_view>

namespace ZYL {

// `text` with each ill-formed UTF-8 sequence replaced by one U+FFFD: a byte that cannot
// start a sequence, or the longest start of a sequence that the next byte breaks off (the
// Unicode standard's "maximal subpart" practice, which browsers' decoders follow too).
// Well-formed text comes back unchanged.
std::string ToValidUtf8(std::string_view text);

} // namespace ZYL
