// "HOSTSDK StringSuite": the host's opaque strings, each one counted in the ledger.
#include "HostStrings.h"
#include "HostSuites.h"
#include "SuiteCall.h"
#include "Utf.h"

#include <cstring>

namespace zylsim {

hostsdk::HostString NewHostString(HostState& host, std::string utf8, StringOrigin origin) {
  return {host.ledger.strings.Add({std::move(utf8), origin})};
}

std::optional<std::string> HostStringText(HostState& host, const hostsdk::HostString* string) {
  if (string == nullptr) return std::nullopt;
  const std::optional<HostStringValue> value = host.ledger.strings.Find(string->handle);
  if (!value) return std::nullopt;
  return value->utf8;
}

namespace {

hostsdk::ErrorCode DisposeString(hostsdk::HostString* string) noexcept {
  return Answer(SuiteId::String, 0, [&](HostState& host, const Project&) {
    if (string == nullptr || !host.ledger.strings.Release(string->handle))
      return hostsdk::kBadParameter;
    string->handle = 0;
    return hostsdk::kSuccess;
  });
}

hostsdk::ErrorCode AllocateFromUtf8(const char* utf8, hostsdk::HostString* out) noexcept {
  return Answer(SuiteId::String, 1, [&](HostState& host, const Project&) {
    if (utf8 == nullptr || out == nullptr) return hostsdk::kBadParameter;
    *out = NewHostString(host, utf8, StringOrigin::Engine);
    return hostsdk::kSuccess;
  });
}

hostsdk::ErrorCode CopyToUtf8(const hostsdk::HostString* string, char* buffer,
                              std::uint32_t* size) noexcept {
  return Answer(SuiteId::String, 2, [&](HostState& host, const Project&) {
    if (size == nullptr) return hostsdk::kBadParameter;
    const std::optional<std::string> text = HostStringText(host, string);
    if (!text) return hostsdk::kBadParameter;
    const std::size_t needed = text->size() + 1;
    if (buffer == nullptr || *size < needed) {
      *size = static_cast<std::uint32_t>(needed);
      return hostsdk::kStringBufferTooSmall;
    }
    std::memcpy(buffer, text->c_str(), needed);
    return hostsdk::kSuccess;
  });
}

hostsdk::ErrorCode AllocateFromUtf16(const char16_t* utf16, hostsdk::HostString* out) noexcept {
  return Answer(SuiteId::String, 3, [&](HostState& host, const Project&) {
    if (utf16 == nullptr || out == nullptr) return hostsdk::kBadParameter;
    *out = NewHostString(host, Utf16ToUtf8(utf16), StringOrigin::Engine);
    return hostsdk::kSuccess;
  });
}

} // namespace

const hostsdk::StringSuite1& StringSuiteTable() {
  static const hostsdk::StringSuite1 table = {DisposeString, AllocateFromUtf8, CopyToUtf8,
                                              AllocateFromUtf16};
  return table;
}

} // namespace zylsim
