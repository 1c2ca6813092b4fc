// Decimal text to integers, as the host writes them in node properties and clients write
// them in command arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ZYL {

// Base-10 conversion with the results of std::stoll / std::stoi: leading white space is
// skipped, one optional sign, digits up to the first non-digit (the rest is ignored).
// Nothing when there are no digits or the value does not fit.
std::optional<std::int64_t> ParseInt64(std::string_view text) noexcept;
std::optional<std::int32_t> ParseInt32(std::string_view text) noexcept;

} // namespace ZYL
