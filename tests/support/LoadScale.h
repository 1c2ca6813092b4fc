// Load and fault tests run their full counts in plain builds and smaller ones under a
// sanitizer, so that each file still ends in well under a minute on a busy machine.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZYL_TEST_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZYL_TEST_SANITIZED_BUILD 1
#endif
#endif
#ifndef ZYL_TEST_SANITIZED_BUILD
#define ZYL_TEST_SANITIZED_BUILD 0
#endif

namespace zyltest {

inline constexpr bool kSanitizedBuild = ZYL_TEST_SANITIZED_BUILD != 0;

constexpr int Scaled(int plain, int sanitized) { return kSanitizedBuild ? sanitized : plain; }

} // namespace zyltest
