// The host's side of a control surface: the ControlSurfaceHost Suite, which hands out the
// host objects, and the five object suites. Every object-suite operation takes the host
// object as its first argument. All are acquired at attach and released at detach.
#pragma once

#include "hostsdk/Types.h"

namespace hostsdk {

inline constexpr const char* kSurfaceHostSuiteName = "HOSTSDK ControlSurfaceHost Suite";
inline constexpr const char* kHostTransportSuiteName = "HOSTSDK ControlSurfaceHost Transport Suite";
inline constexpr const char* kHostCommandSuiteName = "HOSTSDK ControlSurfaceHost Command Suite";
inline constexpr const char* kHostMixerSuiteName = "HOSTSDK ControlSurfaceHost Mixer Suite";
inline constexpr const char* kHostColorSuiteName = "HOSTSDK ControlSurfaceHost Color Suite";
inline constexpr const char* kHostMarkerSuiteName = "HOSTSDK ControlSurfaceHost Marker Suite";
inline constexpr std::int32_t kSurfaceHostSuitesVersion = 1;

struct SurfaceHostSuite1 {
  // 0-4. Called at attach: write the host's object of one kind for a surface reference.
  ErrorCode (*GetCommandObject)(HostReference surface, HostObject* out);   // 0
  ErrorCode (*GetMarkerObject)(HostReference surface, HostObject* out);    // 1
  ErrorCode (*GetMixerObject)(HostReference surface, HostObject* out);     // 2
  ErrorCode (*GetTransportObject)(HostReference surface, HostObject* out); // 3
  ErrorCode (*GetColorObject)(HostReference surface, HostObject* out);     // 4
};

struct HostTransportSuite1 {
  UnusedEntry unused[20]; // 0-19
  // 20. Called by the vitals thread: writes 1 to *solo when any track is soloed, else 0.
  ErrorCode (*GetSoloState)(HostObject transport, std::uint8_t* solo);
};

struct HostCommandSuite1 {
  UnusedEntry unused0; // 0
  // 1. Number of host commands offered to control surfaces.
  ErrorCode (*GetCommandCount)(HostObject command, std::uint32_t* count);
  // 2. Describes one command in four zeroed host strings that the caller disposes; 0 means
  //    all four were filled.
  ErrorCode (*DescribeCommand)(HostObject command, std::uint32_t index, HostString* s1,
                               HostString* s2, HostString* s3, HostString* s4);
  // 3. Runs a command by name; category may be null. The host keeps neither string.
  ErrorCode (*ExecuteCommand)(HostObject command, const HostString* category,
                              const HostString* name);
};

struct HostMixerSuite1 {
  UnusedEntry unused0_1[2]; // 0-1
  // 2. Number of tracks.
  ErrorCode (*GetTrackCount)(HostObject mixer, std::int32_t* count);
  UnusedEntry unused3_4[2]; // 3-4
  // 5. The meter source; 0 means none.
  ErrorCode (*GetMeterSource)(HostObject mixer, std::int32_t* source);
  UnusedEntry unused6_15[10]; // 6-15
  // 16. Channel count of a meter source.
  ErrorCode (*GetChannelCount)(HostObject mixer, std::int32_t source, std::int32_t* count);
  // 17. Writes `count` peak levels in decibels, one per channel.
  ErrorCode (*GetPeakLevels)(HostObject mixer, std::int32_t source, std::int32_t count,
                             float* peaksDb);
};

struct HostColorSuite1 {
  UnusedEntry unused0; // no position is used by this engine
};

struct HostMarkerSuite1 {
  // 0. Number of markers the host shows to control surfaces.
  ErrorCode (*GetMarkerCount)(HostObject marker, std::int32_t* count);
};

} // namespace hostsdk
