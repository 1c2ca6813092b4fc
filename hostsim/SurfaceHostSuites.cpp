// The ControlSurfaceHost Suite, which hands out the host objects, and the object suites that
// answer on them from the project.
#include "HostStrings.h"
#include "HostSuites.h"
#include "SuiteCall.h"

#include <algorithm>
#include <iterator>

namespace zylsim {

namespace {

using hostsdk::ErrorCode;
using hostsdk::HostObject;

// Any surface reference is answered: in-process tests attach with references of their own.
template <HostObjectKind Kind, int Position>
ErrorCode GetObject(hostsdk::HostReference, HostObject* out) noexcept {
  return Answer(SuiteId::SurfaceHost, Position, [&](HostState& host, const Project&) {
    if (out == nullptr) return hostsdk::kBadParameter;
    *out = host.Object(Kind);
    return hostsdk::kSuccess;
  });
}

// Runs `body` when `object` is the host's object of that kind.
template <HostObjectKind Kind, typename Body>
ErrorCode OnObject(SuiteId suite, int position, HostObject object, Body&& body) noexcept {
  return Answer(suite, position, [&](HostState& host, const Project& project) {
    if (!host.IsObject(object, Kind)) return hostsdk::kBadParameter;
    return body(host, project);
  });
}

ErrorCode GetSoloState(HostObject transport, std::uint8_t* solo) noexcept {
  return OnObject<HostObjectKind::Transport>(SuiteId::HostTransport, 20, transport,
                                             [&](HostState&, const Project& project) {
                                               if (solo == nullptr) return hostsdk::kBadParameter;
                                               *solo = project.solo ? 1 : 0;
                                               return hostsdk::kSuccess;
                                             });
}

ErrorCode GetCommandCount(HostObject command, std::uint32_t* count) noexcept {
  return OnObject<HostObjectKind::Command>(
      SuiteId::HostCommand, 1, command, [&](HostState&, const Project& project) {
        if (count == nullptr) return hostsdk::kBadParameter;
        *count = static_cast<std::uint32_t>(project.commands.size());
        return hostsdk::kSuccess;
      });
}

ErrorCode DescribeCommand(HostObject command, std::uint32_t index, hostsdk::HostString* s1,
                          hostsdk::HostString* s2, hostsdk::HostString* s3,
                          hostsdk::HostString* s4) noexcept {
  return OnObject<HostObjectKind::Command>(
      SuiteId::HostCommand, 2, command, [&](HostState& host, const Project& project) {
        if (s1 == nullptr || s2 == nullptr || s3 == nullptr || s4 == nullptr)
          return hostsdk::kBadParameter;
        if (index >= project.commands.size() || !project.commands[index]) return kUnknown;
        const CommandStrings& strings = *project.commands[index];
        hostsdk::HostString* outs[] = {s1, s2, s3, s4};
        for (std::size_t i = 0; i < 4; ++i)
          *outs[i] = NewHostString(host, strings[i], StringOrigin::Described);
        return hostsdk::kSuccess;
      });
}

ErrorCode ExecuteCommand(HostObject command, const hostsdk::HostString* category,
                         const hostsdk::HostString* name) noexcept {
  return OnObject<HostObjectKind::Command>(
      SuiteId::HostCommand, 3, command, [&](HostState& host, const Project&) {
        const std::optional<std::string> commandText = HostStringText(host, name);
        const std::optional<std::string> categoryText = HostStringText(host, category);
        if (!commandText || (category != nullptr && !categoryText)) return hostsdk::kBadParameter;
        host.Print({{"event", "exec"},
                    {"category", categoryText ? nlohmann::ordered_json(*categoryText) : nullptr},
                    {"command", *commandText}});
        return hostsdk::kSuccess;
      });
}

// Mixer calls fail while the project has no mixer.
template <typename Body> ErrorCode OnMixer(int position, HostObject mixer, Body&& body) noexcept {
  return OnObject<HostObjectKind::Mixer>(SuiteId::HostMixer, position, mixer,
                                         [&](HostState&, const Project& project) {
                                           if (!project.mixer) return hostsdk::kNotImplemented;
                                           return body(*project.mixer);
                                         });
}

ErrorCode GetTrackCount(HostObject mixer, std::int32_t* count) noexcept {
  return OnMixer(2, mixer, [&](const Mixer& state) {
    if (count == nullptr) return hostsdk::kBadParameter;
    *count = state.tracks;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetMeterSource(HostObject mixer, std::int32_t* source) noexcept {
  return OnMixer(5, mixer, [&](const Mixer& state) {
    if (source == nullptr) return hostsdk::kBadParameter;
    *source = state.meterSource;
    return hostsdk::kSuccess;
  });
}

ErrorCode GetChannelCount(HostObject mixer, std::int32_t, std::int32_t* count) noexcept {
  return OnMixer(16, mixer, [&](const Mixer& state) {
    if (count == nullptr) return hostsdk::kBadParameter;
    *count = static_cast<std::int32_t>(state.peaksDb.size());
    return hostsdk::kSuccess;
  });
}

ErrorCode GetPeakLevels(HostObject mixer, std::int32_t, std::int32_t count,
                        float* peaksDb) noexcept {
  return OnMixer(17, mixer, [&](const Mixer& state) {
    // more channels than the source has would have the caller read levels never written
    if (peaksDb == nullptr || count < 0 || static_cast<std::size_t>(count) > state.peaksDb.size())
      return hostsdk::kBadParameter;
    std::copy_n(state.peaksDb.begin(), count, peaksDb);
    return hostsdk::kSuccess;
  });
}

ErrorCode GetHostMarkerCount(HostObject marker, std::int32_t* count) noexcept {
  return OnObject<HostObjectKind::Marker>(SuiteId::HostMarker, 0, marker,
                                          [&](HostState&, const Project& project) {
                                            if (count == nullptr) return hostsdk::kBadParameter;
                                            *count = project.hostMarkerCount;
                                            return hostsdk::kSuccess;
                                          });
}

} // namespace

const hostsdk::SurfaceHostSuite1& SurfaceHostTable() {
  static const hostsdk::SurfaceHostSuite1 table = {
      GetObject<HostObjectKind::Command, 0>, GetObject<HostObjectKind::Marker, 1>,
      GetObject<HostObjectKind::Mixer, 2>, GetObject<HostObjectKind::Transport, 3>,
      GetObject<HostObjectKind::Color, 4>};
  return table;
}

const hostsdk::HostTransportSuite1& HostTransportTable() {
  static const hostsdk::HostTransportSuite1 table = [] {
    hostsdk::HostTransportSuite1 t{};
    std::fill(std::begin(t.unused), std::end(t.unused), Unused);
    t.GetSoloState = GetSoloState;
    return t;
  }();
  return table;
}

const hostsdk::HostCommandSuite1& HostCommandTable() {
  static const hostsdk::HostCommandSuite1 table = {Unused, GetCommandCount, DescribeCommand,
                                                   ExecuteCommand};
  return table;
}

const hostsdk::HostMixerSuite1& HostMixerTable() {
  static const hostsdk::HostMixerSuite1 table = [] {
    hostsdk::HostMixerSuite1 t{};
    std::fill(std::begin(t.unused0_1), std::end(t.unused0_1), Unused);
    std::fill(std::begin(t.unused3_4), std::end(t.unused3_4), Unused);
    std::fill(std::begin(t.unused6_15), std::end(t.unused6_15), Unused);
    t.GetTrackCount = GetTrackCount;
    t.GetMeterSource = GetMeterSource;
    t.GetChannelCount = GetChannelCount;
    t.GetPeakLevels = GetPeakLevels;
    return t;
  }();
  return table;
}

const hostsdk::HostColorSuite1& HostColorTable() {
  static const hostsdk::HostColorSuite1 table = {Unused};
  return table;
}

const hostsdk::HostMarkerSuite1& HostMarkerTable() {
  static const hostsdk::HostMarkerSuite1 table = {GetHostMarkerCount};
  return table;
}

} // namespace zylsim
