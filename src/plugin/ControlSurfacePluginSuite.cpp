#include "plugin/ControlSurfacePluginSuite.h"

#include "plugin/InstanceHolder.h"
#include "plugin/PluginModule.h"
#include "plugin/ZYLEngineControlSurface.h"

namespace ZYL {
namespace {

constexpr char16_t kIdentifier[] = u"ZYL.Engine";
constexpr char16_t kDisplayName[] = u"ZYL Engine";

hostsdk::ErrorCode CreateSurface(hostsdk::InstanceHolder holder, hostsdk::HostReference host,
                                 hostsdk::ControlSurfaceBase** out) noexcept {
  // A holder that already holds a surface keeps it: replacing it would orphan a surface
  // whose server still runs.
  if (holder == nullptr || out == nullptr || holder->surface != nullptr)
    return hostsdk::kBadParameter;
  *out = nullptr;
  ZYLEngineControlSurface* surface = nullptr;
  try {
    surface = new ZYLEngineControlSurface(Module().basicSuite);
  } catch (...) {
    return kSurfaceUnavailable;
  }
  try {
    surface->AttachHost(host);
  } catch (...) {
    // Typically a server thread that could not start: give back everything acquired so far.
    DetachAndDelete(surface);
    return kSurfaceUnavailable;
  }
  holder->surface = surface;
  *out = surface;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode DestroySurface(hostsdk::InstanceHolder holder) noexcept {
  if (holder == nullptr || holder->surface == nullptr) return hostsdk::kSuccess;
  if (!DetachAndDelete(holder->surface)) return kSurfaceUnavailable;
  holder->surface = nullptr;
  return hostsdk::kSuccess;
}

hostsdk::ErrorCode AllocateIdentityText(const char16_t* text, hostsdk::HostString* out) noexcept {
  const hostsdk::StringSuite1* strings = Module().stringSuite;
  if (out == nullptr) return hostsdk::kBadParameter;
  if (strings == nullptr || strings->AllocateFromUtf16 == nullptr) return hostsdk::kNotImplemented;
  return strings->AllocateFromUtf16(text, out);
}

hostsdk::ErrorCode GetIdentifier(void*, hostsdk::HostString* out) noexcept {
  return AllocateIdentityText(kIdentifier, out);
}

hostsdk::ErrorCode GetDisplayName(void*, hostsdk::HostString* out) noexcept {
  return AllocateIdentityText(kDisplayName, out);
}

hostsdk::ErrorCode NotImplemented(void*) noexcept { return hostsdk::kNotImplemented; }

hostsdk::ErrorCode NotImplementedClearingByte(void*, std::uint8_t* outByte) noexcept {
  if (outByte != nullptr) *outByte = 0;
  return hostsdk::kNotImplemented;
}

} // namespace

const hostsdk::ControlSurfacePluginSuite1 kControlSurfacePluginSuite = {
    CreateSurface,
    DestroySurface,
    GetIdentifier,
    GetDisplayName,
    NotImplemented,
    NotImplemented,
    NotImplementedClearingByte,
    NotImplemented,
    NotImplemented,
    NotImplemented,
};

} // namespace ZYL
