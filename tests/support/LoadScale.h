// Load and fault tests run their full counts in plain builds and smaller ones under a
// sanitizer, so that each file still ends in well under a minute on a busy machine.
#pragma once

namespace zyltest {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
#else
inline constexpr bool kSanitizedBuild = false;
#endif

constexpr int Scaled(int plain, int sanitized) { return kSanitizedBuild ? sanitized : plain; }

} // namespace zyltest
