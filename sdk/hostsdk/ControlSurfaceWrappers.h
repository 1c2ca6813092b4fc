// The wrapper classes through which the host drives a control surface, and the six wrapper
// suites that forward the host's calls to them.
//
// Each suite entry is a static noexcept trampoline: it checks the object and out pointers,
// turns integer booleans into bool by their low byte, and calls the virtual operation.
// A default operation does nothing but produce its default result, so forwarding to it is
// the same as answering with that result. No exception reaches the host: an operation that
// throws is answered with '!IMP'.
#pragma once

#include "hostsdk/Types.h"

#include <cstdint>

namespace hostsdk {

class ControlSurfaceTransportBase;
class ControlSurfaceCommandBase;
class ControlSurfaceMixerBase;
class ControlSurfaceMarkerBase;
class ControlSurfaceColorBase;

inline constexpr const char* kControlSurfaceSuiteName = "HOSTSDK ControlSurface Suite";
inline constexpr const char* kTransportSuiteName = "HOSTSDK ControlSurface Transport Suite";
inline constexpr const char* kCommandSuiteName = "HOSTSDK ControlSurface Command Suite";
inline constexpr const char* kMixerSuiteName = "HOSTSDK ControlSurface Mixer Suite";
inline constexpr const char* kColorSuiteName = "HOSTSDK ControlSurface Color Suite";
inline constexpr const char* kMarkerSuiteName = "HOSTSDK ControlSurface Marker Suite";
inline constexpr std::int32_t kMixerSuiteVersion = 2;

// --- Wrapper classes ---------------------------------------------------------------------

class ControlSurfaceBase {
public:
  virtual ~ControlSurfaceBase() = default;
  virtual ErrorCode Request(std::intptr_t /*value*/) { return kNotImplemented; } // 1
  virtual ErrorCode QueryInteger(std::int32_t* out) {                            // 2
    *out = 0;
    return kSuccess;
  }
  virtual ErrorCode GetTransport(ControlSurfaceTransportBase** out) { // 3
    *out = nullptr;
    return kSuccess;
  }
  virtual ErrorCode GetMixer(ControlSurfaceMixerBase** out) { // 4
    *out = nullptr;
    return kSuccess;
  }
  virtual ErrorCode GetMarker(ControlSurfaceMarkerBase** out) { // 5
    *out = nullptr;
    return kSuccess;
  }
  virtual ErrorCode GetCommand(ControlSurfaceCommandBase** out) { // 6
    *out = nullptr;
    return kSuccess;
  }
  virtual ErrorCode GetColor(ControlSurfaceColorBase** out) { // 7
    *out = nullptr;
    return kSuccess;
  }
  virtual ErrorCode RequestWithoutArgument() { return kNotImplemented; } // 8
};

class ControlSurfaceTransportBase {
public:
  virtual ~ControlSurfaceTransportBase() = default;
  virtual ErrorCode OnStop(bool /*on*/) { return kNotImplemented; }            // 1
  virtual ErrorCode OnPlay(bool /*on*/) { return kNotImplemented; }            // 2
  virtual ErrorCode OnRecord(bool /*on*/) { return kNotImplemented; }          // 3
  virtual ErrorCode OnRewind(bool /*on*/) { return kNotImplemented; }          // 4
  virtual ErrorCode OnFastForward(bool /*on*/) { return kNotImplemented; }     // 5
  virtual ErrorCode OnAuxiliaryToggle(bool /*on*/) { return kNotImplemented; } // 6
  virtual ErrorCode OnPause(bool /*on*/) { return kNotImplemented; }           // 7
  virtual ErrorCode OnTimecode(std::int32_t /*displayMode*/, const HostString* /*text*/) {
    return kNotImplemented;
  } // 8
};

class ControlSurfaceCommandBase {
public:
  virtual ~ControlSurfaceCommandBase() = default;
  virtual ErrorCode Request1(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request2(std::intptr_t, std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request3(std::intptr_t, std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request4(std::intptr_t, std::intptr_t, std::intptr_t) {
    return kNotImplemented;
  }
  virtual ErrorCode Request5(std::intptr_t, std::intptr_t, std::intptr_t) {
    return kNotImplemented;
  }
};

class ControlSurfaceMixerBase {
public:
  virtual ~ControlSurfaceMixerBase() = default;
  virtual ErrorCode Request1(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request2(std::intptr_t, std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request3(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request4(std::intptr_t, std::intptr_t, bool) { return kNotImplemented; }
  virtual ErrorCode Request5(std::intptr_t, std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request6(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request7(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request8(bool) { return kNotImplemented; }
  virtual void Notify9(std::intptr_t, std::intptr_t, bool) {}
  virtual void Notify10(std::intptr_t, std::intptr_t, std::intptr_t, float) {}
  virtual ErrorCode Query11(std::uint8_t* /*out*/) { return kNotImplemented; }
};

class ControlSurfaceMarkerBase {
public:
  virtual ~ControlSurfaceMarkerBase() = default;
  virtual void OnMarkerChanged(std::uint32_t /*index*/) {} // 1
  virtual void OnMarkersRebuilt() {}                       // 2
};

class ControlSurfaceColorBase {
public:
  virtual ~ControlSurfaceColorBase() = default;
  virtual ErrorCode Request1(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request2(std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request3(std::intptr_t, std::intptr_t) { return kNotImplemented; }
  virtual ErrorCode Request4(std::intptr_t) { return kNotImplemented; }
};

// --- Suite tables ------------------------------------------------------------------------
// Every entry takes the wrapper object as its first argument.

struct ControlSurfaceSuite {                                         // versions 1 and 2
  ErrorCode (*Request)(ControlSurfaceBase*, std::intptr_t value);    // 0 -> 1
  ErrorCode (*QueryInteger)(ControlSurfaceBase*, std::int32_t* out); // 1 -> 2
  ErrorCode (*GetTransport)(ControlSurfaceBase*, ControlSurfaceTransportBase** out); // 2 -> 3
  ErrorCode (*GetMixer)(ControlSurfaceBase*, ControlSurfaceMixerBase** out);         // 3 -> 4
  ErrorCode (*GetMarker)(ControlSurfaceBase*, ControlSurfaceMarkerBase** out);       // 4 -> 5
  ErrorCode (*GetCommand)(ControlSurfaceBase*, ControlSurfaceCommandBase** out);     // 5 -> 6
  ErrorCode (*RequestWithoutArgument)(ControlSurfaceBase*);                          // 6 -> 8
  ErrorCode (*GetColor)(ControlSurfaceBase*, ControlSurfaceColorBase** out);         // 7 -> 7
};

struct TransportSuite { // version 1; booleans arrive as integers, true when the low byte is set
  ErrorCode (*OnStop)(ControlSurfaceTransportBase*, std::int32_t on);            // 0
  ErrorCode (*OnPlay)(ControlSurfaceTransportBase*, std::int32_t on);            // 1
  ErrorCode (*OnRecord)(ControlSurfaceTransportBase*, std::int32_t on);          // 2
  ErrorCode (*OnRewind)(ControlSurfaceTransportBase*, std::int32_t on);          // 3
  ErrorCode (*OnFastForward)(ControlSurfaceTransportBase*, std::int32_t on);     // 4
  ErrorCode (*OnAuxiliaryToggle)(ControlSurfaceTransportBase*, std::int32_t on); // 5
  ErrorCode (*OnPause)(ControlSurfaceTransportBase*, std::int32_t on);           // 6
  ErrorCode (*OnTimecode)(ControlSurfaceTransportBase*, std::int32_t displayMode,
                          const HostString* text); // 7
};

struct CommandSuite { // version 1
  ErrorCode (*Request1)(ControlSurfaceCommandBase*, std::intptr_t);
  ErrorCode (*Request2)(ControlSurfaceCommandBase*, std::intptr_t, std::intptr_t);
  ErrorCode (*Request3)(ControlSurfaceCommandBase*, std::intptr_t, std::intptr_t);
  ErrorCode (*Request4)(ControlSurfaceCommandBase*, std::intptr_t, std::intptr_t, std::intptr_t);
  ErrorCode (*Request5)(ControlSurfaceCommandBase*, std::intptr_t, std::intptr_t, std::intptr_t);
};

struct MixerSuite { // version 2
  ErrorCode (*Request1)(ControlSurfaceMixerBase*, std::intptr_t);
  ErrorCode (*Request2)(ControlSurfaceMixerBase*, std::intptr_t, std::intptr_t);
  ErrorCode (*Request3)(ControlSurfaceMixerBase*, std::intptr_t);
  ErrorCode (*Request4)(ControlSurfaceMixerBase*, std::intptr_t, std::intptr_t, std::int32_t);
  ErrorCode (*Request5)(ControlSurfaceMixerBase*, std::intptr_t, std::intptr_t);
  ErrorCode (*Request6)(ControlSurfaceMixerBase*, std::intptr_t);
  ErrorCode (*Request7)(ControlSurfaceMixerBase*, std::intptr_t);
  ErrorCode (*Request8)(ControlSurfaceMixerBase*, std::int32_t);
  ErrorCode (*Notify9)(ControlSurfaceMixerBase*, std::intptr_t, std::intptr_t, std::int32_t);
  ErrorCode (*Notify10)(ControlSurfaceMixerBase*, std::intptr_t, std::intptr_t, std::intptr_t,
                        float);
  // 10. 'Parm' for a null out pointer; the byte is written only when the operation succeeds.
  ErrorCode (*Query11)(ControlSurfaceMixerBase*, std::uint8_t* out);
};

struct ColorSuite { // version 1
  ErrorCode (*Request1)(ControlSurfaceColorBase*, std::intptr_t);
  ErrorCode (*Request2)(ControlSurfaceColorBase*, std::intptr_t);
  ErrorCode (*Request3)(ControlSurfaceColorBase*, std::intptr_t, std::intptr_t);
  ErrorCode (*Request4)(ControlSurfaceColorBase*, std::intptr_t);
};

struct MarkerSuite1 { // version 1; both entries report 0
  ErrorCode (*OnMarkerChanged)(ControlSurfaceMarkerBase*, std::uint32_t index);
  ErrorCode (*OnMarkersRebuilt)(ControlSurfaceMarkerBase*);
};

// --- Trampolines -------------------------------------------------------------------------

namespace wrappers {

inline bool LowByteIsSet(std::int32_t value) noexcept { return (value & 0xFF) != 0; }

// Calls `operation` on a checked object; an object that is null is a bad parameter, an
// exception becomes '!IMP'.
template <typename Object, typename Operation>
ErrorCode Forward(Object* object, Operation&& operation) noexcept {
  if (object == nullptr) return kBadParameter;
  try {
    return operation(*object);
  } catch (...) {
    return kNotImplemented;
  }
}

template <typename Object, typename Out, typename Operation>
ErrorCode ForwardOut(Object* object, Out* out, Operation&& operation) noexcept {
  if (out == nullptr) return kBadParameter;
  return Forward(object, [&](Object& o) { return operation(o, out); });
}

} // namespace wrappers

inline const ControlSurfaceSuite kControlSurfaceSuite = {
    [](ControlSurfaceBase* o, std::intptr_t v) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceBase& s) { return s.Request(v); });
    },
    [](ControlSurfaceBase* o, std::int32_t* out) noexcept {
      return wrappers::ForwardOut(
          o, out, [](ControlSurfaceBase& s, std::int32_t* p) { return s.QueryInteger(p); });
    },
    [](ControlSurfaceBase* o, ControlSurfaceTransportBase** out) noexcept {
      return wrappers::ForwardOut(
          o, out,
          [](ControlSurfaceBase& s, ControlSurfaceTransportBase** p) { return s.GetTransport(p); });
    },
    [](ControlSurfaceBase* o, ControlSurfaceMixerBase** out) noexcept {
      return wrappers::ForwardOut(
          o, out, [](ControlSurfaceBase& s, ControlSurfaceMixerBase** p) { return s.GetMixer(p); });
    },
    [](ControlSurfaceBase* o, ControlSurfaceMarkerBase** out) noexcept {
      return wrappers::ForwardOut(o, out, [](ControlSurfaceBase& s, ControlSurfaceMarkerBase** p) {
        return s.GetMarker(p);
      });
    },
    [](ControlSurfaceBase* o, ControlSurfaceCommandBase** out) noexcept {
      return wrappers::ForwardOut(o, out, [](ControlSurfaceBase& s, ControlSurfaceCommandBase** p) {
        return s.GetCommand(p);
      });
    },
    [](ControlSurfaceBase* o) noexcept {
      return wrappers::Forward(o, [](ControlSurfaceBase& s) { return s.RequestWithoutArgument(); });
    },
    [](ControlSurfaceBase* o, ControlSurfaceColorBase** out) noexcept {
      return wrappers::ForwardOut(
          o, out, [](ControlSurfaceBase& s, ControlSurfaceColorBase** p) { return s.GetColor(p); });
    },
};

#define HOSTSDK_TRANSPORT_TOGGLE(Operation)                                                        \
  [](ControlSurfaceTransportBase* o, std::int32_t on) noexcept {                                   \
    return wrappers::Forward(o, [&](ControlSurfaceTransportBase& t) {                              \
      return t.Operation(wrappers::LowByteIsSet(on));                                              \
    });                                                                                            \
  }

inline const TransportSuite kTransportSuite = {
    HOSTSDK_TRANSPORT_TOGGLE(OnStop),
    HOSTSDK_TRANSPORT_TOGGLE(OnPlay),
    HOSTSDK_TRANSPORT_TOGGLE(OnRecord),
    HOSTSDK_TRANSPORT_TOGGLE(OnRewind),
    HOSTSDK_TRANSPORT_TOGGLE(OnFastForward),
    HOSTSDK_TRANSPORT_TOGGLE(OnAuxiliaryToggle),
    HOSTSDK_TRANSPORT_TOGGLE(OnPause),
    [](ControlSurfaceTransportBase* o, std::int32_t mode, const HostString* text) noexcept {
      return wrappers::Forward(
          o, [&](ControlSurfaceTransportBase& t) { return t.OnTimecode(mode, text); });
    },
};

#undef HOSTSDK_TRANSPORT_TOGGLE

inline const CommandSuite kCommandSuite = {
    [](ControlSurfaceCommandBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceCommandBase& c) { return c.Request1(a); });
    },
    [](ControlSurfaceCommandBase* o, std::intptr_t a, std::intptr_t b) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceCommandBase& c) { return c.Request2(a, b); });
    },
    [](ControlSurfaceCommandBase* o, std::intptr_t a, std::intptr_t b) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceCommandBase& c) { return c.Request3(a, b); });
    },
    [](ControlSurfaceCommandBase* o, std::intptr_t a, std::intptr_t b, std::intptr_t c3) noexcept {
      return wrappers::Forward(o,
                               [&](ControlSurfaceCommandBase& c) { return c.Request4(a, b, c3); });
    },
    [](ControlSurfaceCommandBase* o, std::intptr_t a, std::intptr_t b, std::intptr_t c3) noexcept {
      return wrappers::Forward(o,
                               [&](ControlSurfaceCommandBase& c) { return c.Request5(a, b, c3); });
    },
};

inline const MixerSuite kMixerSuite = {
    [](ControlSurfaceMixerBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) { return m.Request1(a); });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a, std::intptr_t b) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) { return m.Request2(a, b); });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) { return m.Request3(a); });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a, std::intptr_t b, std::int32_t on) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) {
        return m.Request4(a, b, wrappers::LowByteIsSet(on));
      });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a, std::intptr_t b) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) { return m.Request5(a, b); });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) { return m.Request6(a); });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) { return m.Request7(a); });
    },
    [](ControlSurfaceMixerBase* o, std::int32_t on) noexcept {
      return wrappers::Forward(
          o, [&](ControlSurfaceMixerBase& m) { return m.Request8(wrappers::LowByteIsSet(on)); });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a, std::intptr_t b, std::int32_t on) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) {
        m.Notify9(a, b, wrappers::LowByteIsSet(on));
        return kSuccess;
      });
    },
    [](ControlSurfaceMixerBase* o, std::intptr_t a, std::intptr_t b, std::intptr_t c,
       float level) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) {
        m.Notify10(a, b, c, level);
        return kSuccess;
      });
    },
    [](ControlSurfaceMixerBase* o, std::uint8_t* out) noexcept {
      if (out == nullptr) return kBadParameter;
      return wrappers::Forward(o, [&](ControlSurfaceMixerBase& m) {
        std::uint8_t local = 0;
        const ErrorCode result = m.Query11(&local);
        if (result == kSuccess) *out = local;
        return result;
      });
    },
};

inline const ColorSuite kColorSuite = {
    [](ControlSurfaceColorBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceColorBase& c) { return c.Request1(a); });
    },
    [](ControlSurfaceColorBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceColorBase& c) { return c.Request2(a); });
    },
    [](ControlSurfaceColorBase* o, std::intptr_t a, std::intptr_t b) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceColorBase& c) { return c.Request3(a, b); });
    },
    [](ControlSurfaceColorBase* o, std::intptr_t a) noexcept {
      return wrappers::Forward(o, [&](ControlSurfaceColorBase& c) { return c.Request4(a); });
    },
};

// Marker entries report 0 whatever happens.
inline const MarkerSuite1 kMarkerSuite = {
    [](ControlSurfaceMarkerBase* o, std::uint32_t index) noexcept {
      wrappers::Forward(o, [&](ControlSurfaceMarkerBase& m) {
        m.OnMarkerChanged(index);
        return kSuccess;
      });
      return kSuccess;
    },
    [](ControlSurfaceMarkerBase* o) noexcept {
      wrappers::Forward(o, [&](ControlSurfaceMarkerBase& m) {
        m.OnMarkersRebuilt();
        return kSuccess;
      });
      return kSuccess;
    },
};

} // namespace hostsdk
