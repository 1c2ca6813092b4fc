// The module callbacks that the host calls after EntryPoint.
#pragma once

#include "hostsdk/ControlSurfacePluginSuite.h"

namespace ZYL {

// The five callbacks that EntryPoint hands to the host, in the host's order.
extern const hostsdk::PluginEntryTable kPluginEntryTable;

} // namespace ZYL
