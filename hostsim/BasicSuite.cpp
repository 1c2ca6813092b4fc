// The basic suite: hands out every other suite by name and version and counts each
// acquisition and release in the ledger.
#include "HostSuites.h"
#include "SuiteCall.h"

#include <cstring>

namespace zylsim {

namespace {

const void* TableOf(SuiteId suite) {
  switch (suite) {
  case SuiteId::String:
    return &StringSuiteTable();
  case SuiteId::PluginSuites:
    return &PluginSuitesTable();
  case SuiteId::SurfaceHost:
    return &SurfaceHostTable();
  case SuiteId::HostTransport:
    return &HostTransportTable();
  case SuiteId::HostCommand:
    return &HostCommandTable();
  case SuiteId::HostMixer:
    return &HostMixerTable();
  case SuiteId::HostColor:
    return &HostColorTable();
  case SuiteId::HostMarker:
    return &HostMarkerTable();
  case SuiteId::VideoSegment:
    return &VideoSegmentTable();
  case SuiteId::SequenceInfo:
    return &SequenceInfoTable();
  case SuiteId::Time:
    return &TimeTable();
  case SuiteId::SequenceMarker:
    return &SequenceMarkerTable();
  }
  return nullptr;
}

const OfferedSuite* FindOffered(const char* name, std::int32_t version) {
  for (const OfferedSuite& suite : OfferedSuites())
    if (suite.version == version && std::strcmp(suite.name, name) == 0) return &suite;
  return nullptr;
}

hostsdk::ErrorCode AcquireSuite(const char* name, std::int32_t version,
                                const void** table) noexcept {
  if (name == nullptr || table == nullptr) return hostsdk::kBadParameter;
  HostState* host = ActiveHost();
  if (host == nullptr) return kNoHost;
  try {
    const OfferedSuite* offered = FindOffered(name, version);
    if (offered == nullptr || host->store.Current()->Refuses(name, version))
      return hostsdk::kNotImplemented;
    *table = TableOf(offered->id);
    host->ledger.NoteAcquired(name, version);
    return hostsdk::kSuccess;
  } catch (...) {
    return hostsdk::kNotImplemented;
  }
}

hostsdk::ErrorCode ReleaseSuite(const char* name, std::int32_t version) noexcept {
  if (name == nullptr) return hostsdk::kBadParameter;
  HostState* host = ActiveHost();
  if (host == nullptr) return kNoHost;
  try {
    return host->ledger.NoteReleased(name, version) ? hostsdk::kSuccess : hostsdk::kBadParameter;
  } catch (...) {
    return hostsdk::kNotImplemented;
  }
}

} // namespace

const hostsdk::BasicSuite& BasicSuiteTable() {
  static const hostsdk::BasicSuite table = {AcquireSuite, ReleaseSuite};
  return table;
}

} // namespace zylsim
