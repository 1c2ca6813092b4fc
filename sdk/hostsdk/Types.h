// Basic types shared by every suite: error codes, opaque host values.
#pragma once

#include <cstdint>

namespace hostsdk {

// Every suite operation returns one of these 32-bit four-character codes; 0 is success.
using ErrorCode = std::int32_t;

inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kNotImplemented = 0x21494D50;       // '!IMP'
inline constexpr ErrorCode kBadParameter = 0x5061726D;         // 'Parm'
inline constexpr ErrorCode kStringBufferTooSmall = 0x73627473; // 'sbts'

// The host's reference for one control surface; never 0 for a real host.
using HostReference = std::uint64_t;

// An opaque host object handed out by the ControlSurfaceHost Suite.
using HostObject = void*;

// The String suite's opaque string value. Zero-initialised by the caller, filled by the
// host, disposed exactly once through the String suite.
struct HostString {
  std::uint64_t handle;
};

// Opaque suite list owned by the Plugin Suites Suite.
struct SuiteListOpaque;
using SuiteList = SuiteListOpaque*;

// Opaque cell that holds one control-surface instance between AllocateInstanceHolder and
// ReleaseInstanceHolder.
struct InstanceHolderOpaque;
using InstanceHolder = InstanceHolderOpaque*;

// Placeholder for a table position that this engine never calls.
using UnusedEntry = ErrorCode (*)();

} // namespace hostsdk
