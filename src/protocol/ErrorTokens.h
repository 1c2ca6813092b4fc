// The tokens after ".error:" in the text protocol's error replies, written here once: the
// handlers send them, the command table lists each command's, and the JSON protocol's error
// codes name the tokens each code stands for.
#pragma once

#include <string_view>

namespace ZYL {

inline constexpr std::string_view kParseToken = "parse";           // an argument unreadable
inline constexpr std::string_view kRangeToken = "range";           // an argument out of range
inline constexpr std::string_view kNoTimelineToken = "notimeline"; // no such timeline
inline constexpr std::string_view kNoClipToken = "noclip";         // no such clip
inline constexpr std::string_view kNoSuiteToken = "nosuite";       // the host lacks the suite
inline constexpr std::string_view kCountToken = "count";           // the host gave no count
inline constexpr std::string_view kAllocToken = "alloc";           // the host took no command
// Not a token but what stands in its place: the host's status code in decimal.
inline constexpr std::string_view kHostStatusToken = "a number";

} // namespace ZYL
