// The plug-in's entry protocol: EntryPoint, the five module callbacks it hands out, and the
// "HOSTSDK ControlSurfacePlugin Suite" through which the host creates control surfaces.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "hostsdk/Types.h"

namespace hostsdk {

class ControlSurfaceBase;

inline constexpr const char* kControlSurfacePluginSuiteName = "HOSTSDK ControlSurfacePlugin Suite";
inline constexpr std::int32_t kControlSurfacePluginSuiteVersion = 1;
inline constexpr const char* kEntryPointSymbol = "EntryPoint";

// Filled by EntryPoint; the host calls these on its loader thread.
struct PluginEntryTable {
  ErrorCode (*PluginStartup)();                              // 0: host error code
  ErrorCode (*PluginShutdown)();                             // 1: 0
  ErrorCode (*AllocateInstanceHolder)(InstanceHolder* out);  // 2: 0, *out holds nothing
  ErrorCode (*ReleaseInstanceHolder)(InstanceHolder holder); // 3: 0; holder may be null
  ErrorCode (*GetSuiteList)(SuiteList* out);                 // 4: 0
};

// The module's one export. Returns 0, or 'Parm' for a null basic suite (table untouched).
using EntryPointFunction = ErrorCode (*)(const BasicSuite* basic, void* reserved1, void* reserved2,
                                         std::int32_t reserved3, PluginEntryTable* table);

struct ControlSurfacePluginSuite1 {
  // 0. Creates the surface in the holder, attaches it to `surface` and writes it to *out.
  ErrorCode (*CreateSurface)(InstanceHolder holder, HostReference surface,
                             ControlSurfaceBase** out);
  // 1. Detaches and deletes the holder's surface; an empty holder is left alone.
  ErrorCode (*DestroySurface)(InstanceHolder holder);
  // 2-3. Allocate the plug-in's identifier / display name as a host string the host owns.
  ErrorCode (*GetIdentifier)(void* ignored, HostString* out);
  ErrorCode (*GetDisplayName)(void* ignored, HostString* out);
  // 4-9. Not implemented: '!IMP'. Entry 6 first writes 0 to *outByte.
  ErrorCode (*Reserved4)(void* ignored);
  ErrorCode (*Reserved5)(void* ignored);
  ErrorCode (*Reserved6)(void* ignored, std::uint8_t* outByte);
  ErrorCode (*Reserved7)(void* ignored);
  ErrorCode (*Reserved8)(void* ignored);
  ErrorCode (*Reserved9)(void* ignored);
};

} // namespace hostsdk
