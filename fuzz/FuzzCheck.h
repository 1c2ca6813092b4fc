// A broken expectation in a fuzz target ends the run the way a sanitizer report does, so
// libFuzzer keeps the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zylfuzz {

inline void Require(bool condition, const char* expectation) {
  if (condition) return;
  std::fprintf(stderr, "fuzz expectation failed: %s\n", expectation);
  std::abort();
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// ASCII upper case: what a client may send instead of the lower case the policy compares.
inline std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return upper;
}

} // namespace zylfuzz
