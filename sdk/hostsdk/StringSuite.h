// "HOSTSDK StringSuite" version 1: the host's opaque strings.
#pragma once

#include "hostsdk/Types.h"

namespace hostsdk {

inline constexpr const char* kStringSuiteName = "HOSTSDK StringSuite";
inline constexpr std::int32_t kStringSuiteVersion = 1;

struct StringSuite1 {
  // 0. Disposes a string the plug-in allocated or received filled; the value becomes 0.
  ErrorCode (*DisposeString)(HostString* string);
  // 1. Allocates a host string from zero-terminated UTF-8 text into a zeroed HostString.
  ErrorCode (*AllocateFromUtf8)(const char* utf8, HostString* out);
  // 2. Copies the string as zero-terminated UTF-8 into buffer. On entry *size is the
  //    buffer's size in bytes; when it is too small the call returns 'sbts' and *size
  //    holds the size needed (terminator included).
  ErrorCode (*CopyToUtf8)(const HostString* string, char* buffer, std::uint32_t* size);
  // 3. Allocates a host string from zero-terminated UTF-16 text into a zeroed HostString.
  ErrorCode (*AllocateFromUtf16)(const char16_t* utf16, HostString* out);
};

} // namespace hostsdk
