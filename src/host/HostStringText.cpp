#include "host/HostStringText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace ZYL {

namespace {

constexpr std::uint32_t kFirstAttemptSize = 1024;

// The bytes up to the first zero, never past the buffer.
std::string TextBeforeTerminator(const char* buffer, std::size_t size) {
  return std::string(buffer, std::find(buffer, buffer + size, '\0'));
}

} // namespace

std::string HostStringToUtf8(const hostsdk::StringSuite1* strings,
                             const hostsdk::HostString& string) {
  if (strings == nullptr || strings->CopyToUtf8 == nullptr) return {};
  // The first attempt uses the stack: names and labels fit, and get.commands converts four
  // strings for every host command.
  std::array<char, kFirstAttemptSize> firstAttempt{};
  std::uint32_t size = kFirstAttemptSize;
  const hostsdk::ErrorCode status = strings->CopyToUtf8(&string, firstAttempt.data(), &size);
  if (status == hostsdk::kSuccess)
    return TextBeforeTerminator(firstAttempt.data(), firstAttempt.size());
  if (status != hostsdk::kStringBufferTooSmall || size == 0) return {};
  // The host told us the size it needs; one more attempt with exactly that.
  std::vector<char> buffer(size, '\0');
  if (strings->CopyToUtf8(&string, buffer.data(), &size) != hostsdk::kSuccess) return {};
  return TextBeforeTerminator(buffer.data(), buffer.size());
}

HostOutcome AllocateHostString(const hostsdk::StringSuite1* strings, std::string_view text,
                               ScopedHostString& out) {
  if (strings == nullptr || strings->AllocateFromUtf8 == nullptr) return {};
  if (text.find('\0') != std::string_view::npos) return {};
  const std::string terminated(text);
  const hostsdk::ErrorCode status = strings->AllocateFromUtf8(terminated.c_str(), out.get());
  if (status != hostsdk::kSuccess) return {false, status};
  out.MarkFilled();
  return {true, std::nullopt};
}

} // namespace ZYL
