// The "HOSTSDK ControlSurfacePlugin Suite" table through which the host creates, destroys and
// names control surfaces.
#pragma once

#include "hostsdk/ControlSurfacePluginSuite.h"

namespace ZYL {

// Answer of CreateSurface when no surface could be built or started: the host then has no
// surface from this plug-in, as if it offered none.
inline constexpr hostsdk::ErrorCode kSurfaceUnavailable = hostsdk::kNotImplemented;

extern const hostsdk::ControlSurfacePluginSuite1 kControlSurfacePluginSuite;

} // namespace ZYL
