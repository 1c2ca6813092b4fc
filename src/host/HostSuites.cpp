#include "host/HostSuites.h"

#include "host/ScopedSuite.h"

namespace ZYL {
namespace {

constexpr std::int32_t kHostSuitesVersion = hostsdk::kSurfaceHostSuitesVersion;

using ObjectRequest = hostsdk::ErrorCode (*)(hostsdk::HostReference, hostsdk::HostObject*);

template <typename Table>
void ReleaseSuite(const hostsdk::BasicSuite* basic, const char* name, std::int32_t version,
                  const Table*& suite) noexcept {
  if (suite == nullptr) return;
  ReleaseHostSuite(basic, name, version);
  suite = nullptr;
}

// The host object goes first: it belongs to the suite and is meaningless without it.
template <typename Table>
void ReleaseObjectSuite(const hostsdk::BasicSuite* basic, const char* name,
                        hostsdk::HostObject& object, const Table*& suite) noexcept {
  object = nullptr;
  ReleaseSuite(basic, name, kHostSuitesVersion, suite);
}

// Holds the suite only when the host also gives its object; otherwise it is released again
// and left out.
template <typename Table>
void AcquireObjectSuite(const hostsdk::BasicSuite* basic, const char* name,
                        ObjectRequest requestObject, hostsdk::HostReference host,
                        const Table*& suite, hostsdk::HostObject& object) {
  ScopedSuite<Table> acquired(basic, name, kHostSuitesVersion);
  if (!acquired || requestObject == nullptr) return;
  if (requestObject(host, &object) != hostsdk::kSuccess) return;
  suite = acquired.release();
}

} // namespace

void HostSuites::Release() noexcept {
  ReleaseSuite(basicSuite, hostsdk::kStringSuiteName, hostsdk::kStringSuiteVersion, stringSuite);
  ReleaseSuite(basicSuite, hostsdk::kSurfaceHostSuiteName, kHostSuitesVersion, surfaceHostSuite);
  ReleaseObjectSuite(basicSuite, hostsdk::kHostTransportSuiteName, transportHost, transportSuite);
  ReleaseObjectSuite(basicSuite, hostsdk::kHostCommandSuiteName, commandHost, commandSuite);
  ReleaseObjectSuite(basicSuite, hostsdk::kHostMixerSuiteName, mixerHost, mixerSuite);
  ReleaseObjectSuite(basicSuite, hostsdk::kHostColorSuiteName, colorHost, colorSuite);
  ReleaseObjectSuite(basicSuite, hostsdk::kHostMarkerSuiteName, markerHost, markerSuite);
}

bool HostSuites::Acquire(hostsdk::HostReference host) {
  ScopedSuite<hostsdk::SurfaceHostSuite1> surfaceHost(basicSuite, hostsdk::kSurfaceHostSuiteName,
                                                      kHostSuitesVersion);
  if (!surfaceHost) return false;
  surfaceHostSuite = surfaceHost.release();

  AcquireObjectSuite(basicSuite, hostsdk::kHostTransportSuiteName,
                     surfaceHostSuite->GetTransportObject, host, transportSuite, transportHost);
  AcquireObjectSuite(basicSuite, hostsdk::kHostCommandSuiteName, surfaceHostSuite->GetCommandObject,
                     host, commandSuite, commandHost);
  AcquireObjectSuite(basicSuite, hostsdk::kHostMixerSuiteName, surfaceHostSuite->GetMixerObject,
                     host, mixerSuite, mixerHost);
  AcquireObjectSuite(basicSuite, hostsdk::kHostColorSuiteName, surfaceHostSuite->GetColorObject,
                     host, colorSuite, colorHost);
  AcquireObjectSuite(basicSuite, hostsdk::kHostMarkerSuiteName, surfaceHostSuite->GetMarkerObject,
                     host, markerSuite, markerHost);

  // Every client command and the vitals record need the transport or the command object;
  // without both a server would have nothing to offer.
  if (transportSuite == nullptr && commandSuite == nullptr) return false;

  // The server works without host strings, only with less to report.
  stringSuite = ScopedSuite<hostsdk::StringSuite1>(basicSuite, hostsdk::kStringSuiteName,
                                                   hostsdk::kStringSuiteVersion)
                    .release();
  return true;
}

} // namespace ZYL
