// The basic suite: the host's one way to hand out every other suite.
#pragma once

#include "hostsdk/Types.h"

namespace hostsdk {

struct BasicSuite {
  // 0. Called by the plug-in to acquire a suite by name and version. Success is 0 *and* a
  //    non-null table; the table stays valid until the matching release.
  ErrorCode (*AcquireSuite)(const char* name, std::int32_t version, const void** table);
  // 1. Called by the plug-in to release a suite acquired with the same name and version.
  ErrorCode (*ReleaseSuite)(const char* name, std::int32_t version);
};

} // namespace hostsdk
