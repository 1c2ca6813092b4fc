#include "protocol/HostStringText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ZYL {

namespace {

constexpr std::uint32_t kFirstAttemptSize = 1024;

// The bytes up to the first zero, never past the buffer.
std::string TextBeforeTerminator(const std::vector<char>& buffer) {
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

} // namespace

std::string HostStringToUtf8(const hostsdk::StringSuite1* strings,
                             const hostsdk::HostString& string) {
  if (strings == nullptr || strings->CopyToUtf8 == nullptr) return {};
  std::vector<char> buffer(kFirstAttemptSize, '\0');
  std::uint32_t size = kFirstAttemptSize;
  const hostsdk::ErrorCode status = strings->CopyToUtf8(&string, buffer.data(), &size);
  if (status == hostsdk::kSuccess) return TextBeforeTerminator(buffer);
  if (status != hostsdk::kStringBufferTooSmall || size == 0) return {};
  // The host told us the size it needs; one more attempt with exactly that.
  buffer.assign(size, '\0');
  if (strings->CopyToUtf8(&string, buffer.data(), &size) != hostsdk::kSuccess) return {};
  return TextBeforeTerminator(buffer);
}

bool AllocateHostString(const hostsdk::StringSuite1* strings, std::string_view text,
                        ScopedHostString& out) {
  if (strings == nullptr || strings->AllocateFromUtf8 == nullptr) return false;
  if (text.find('\0') != std::string_view::npos) return false;
  const std::string terminated(text);
  if (strings->AllocateFromUtf8(terminated.c_str(), out.get()) != hostsdk::kSuccess) return false;
  out.MarkFilled();
  return true;
}

} // namespace ZYL
