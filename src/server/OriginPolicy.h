// Which web pages may talk to the editor: the Origin of an upgrade request is checked
// against a built-in allow-list and the user's allow-list file.
#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <string_view>

namespace ZYL {

// `text` with ASCII capitals made small.
std::string AsciiLowered(std::string_view text);

// `text` without leading and trailing spaces, tabs, CRs and LFs.
std::string TrimSpace(std::string_view text);

// The lower-cased host of an origin or URL: scheme, path, query, fragment and port removed
// (an IPv6 host keeps its brackets); a user-information part stays.
std::string ExtractOriginHost(std::string_view text);

// Whether allow-list `entry` admits `host`: an exact host, or "*." and a domain for strict
// subdomains of that domain (not the domain itself).
bool MatchesHostPattern(std::string_view host, std::string_view entry);

// The built-in entries, consulted in this order before the file.
const std::array<std::string_view, 7>& BuiltInAllowList() noexcept;

// <settings folder>/ZYL Engine/origins.txt, or "" when no settings folder is known.
std::string AllowListFilePath();

// Reads the allow-list file at `path` entry by entry and reports whether one admits `host`;
// reading stops at the first match. A missing or unreadable file (anything but a regular
// file, more than 1 MiB, or not read in time) admits nothing.
bool AllowListFileAdmits(const std::string& path, std::string_view host);

// The same for allow-list text from any stream, so that its parsing can be fuzzed.
bool AllowListAdmits(std::istream& lines, std::string_view host);

// Why the allow-list file line `line` can never admit any origin, in a few words; "" when
// it can (or holds no entry). Such entries are otherwise ignored without a word: a port or
// a path written without a scheme, user information, a scheme without a host.
std::string UnmatchableEntryProblem(std::string_view line);

// The origin decision for a request that carries a key: no origin, and origins of schemes
// other than http and https, are let through; "null" and http(s) hosts must be listed.
bool IsOriginAllowed(std::string_view origin, const std::string& allowListPath);

} // namespace ZYL
