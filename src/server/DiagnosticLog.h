// The engine's diagnostic lines: each goes to the platform's diagnostic output and into a
// short ring of recent lines, which the status page shows, since an editor user never sees
// the debug output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ZYL {

// How many recent lines the ring keeps; older ones give way.
inline constexpr std::size_t kRecentDiagnosticLines = 20;

// Writes `line` and keeps it, stamped with the UTC time ("HH:MM:SS UTC  line").
void WriteEngineDiagnostic(std::string_view line) noexcept;

// The kept lines, oldest first.
std::vector<std::string> RecentDiagnostics();

} // namespace ZYL
