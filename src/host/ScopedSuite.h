// Pairs every suite acquisition and every host string with exactly one release.
#pragma once

#include "hostsdk/BasicSuite.h"
#include "hostsdk/StringSuite.h"

#include <cstdint>
#include <initializer_list>

namespace ZYL {

// Releases one acquisition of a suite; a host without a release operation gets no call.
inline void ReleaseHostSuite(const hostsdk::BasicSuite* basic, const char* name,
                             std::int32_t version) noexcept {
  if (basic != nullptr && basic->ReleaseSuite != nullptr) basic->ReleaseSuite(name, version);
}

// Acquires a suite by name and version for the lifetime of the object. A failed
// acquisition (non-zero status or null table) leaves the object empty and releases nothing.
template <typename Table> class ScopedSuite {
public:
  ScopedSuite(const hostsdk::BasicSuite* basic, const char* name, std::int32_t version) noexcept
      : basic_(basic), name_(name) {
    TryVersion(version);
  }

  // Tries the versions in order; the first that is acquired is held.
  ScopedSuite(const hostsdk::BasicSuite* basic, const char* name,
              std::initializer_list<std::int32_t> versions) noexcept
      : basic_(basic), name_(name) {
    for (const std::int32_t version : versions) {
      if (TryVersion(version)) break;
    }
  }

  ScopedSuite(const ScopedSuite&) = delete;
  ScopedSuite& operator=(const ScopedSuite&) = delete;

  ~ScopedSuite() {
    if (table_ != nullptr) ReleaseHostSuite(basic_, name_, version_);
  }

  explicit operator bool() const noexcept { return table_ != nullptr; }
  const Table* operator->() const noexcept { return table_; }
  const Table* get() const noexcept { return table_; }
  std::int32_t version() const noexcept { return version_; }
  // The host's answer to the last acquisition tried; '!IMP' when the host offered no
  // acquire operation or answered success without a table.
  hostsdk::ErrorCode status() const noexcept { return status_; }

  // Hands the acquisition over to the caller, who then owes its one release.
  const Table* release() noexcept {
    const Table* table = table_;
    table_ = nullptr;
    return table;
  }

private:
  bool TryVersion(std::int32_t version) noexcept {
    status_ = hostsdk::kNotImplemented;
    if (basic_ == nullptr || basic_->AcquireSuite == nullptr) return false;
    const void* table = nullptr;
    const hostsdk::ErrorCode status = basic_->AcquireSuite(name_, version, &table);
    if (status != hostsdk::kSuccess) {
      status_ = status;
      return false;
    }
    if (table == nullptr) return false;
    status_ = hostsdk::kSuccess;
    table_ = static_cast<const Table*>(table);
    version_ = version;
    return true;
  }

  const hostsdk::BasicSuite* basic_;
  const char* name_;
  const Table* table_ = nullptr;
  std::int32_t version_ = 0;
  hostsdk::ErrorCode status_ = hostsdk::kNotImplemented;
};

// A zero-initialised host string that is disposed once, when it was filled.
class ScopedHostString {
public:
  explicit ScopedHostString(const hostsdk::StringSuite1* strings) noexcept : strings_(strings) {}
  ScopedHostString(const ScopedHostString&) = delete;
  ScopedHostString& operator=(const ScopedHostString&) = delete;
  ~ScopedHostString() { Dispose(); }

  hostsdk::HostString* get() noexcept { return &value_; }
  const hostsdk::HostString* get() const noexcept { return &value_; }

  // Marks the string as filled by the host, so that it is disposed.
  void MarkFilled() noexcept { filled_ = true; }

  void Dispose() noexcept {
    if (filled_ && strings_ != nullptr) strings_->DisposeString(&value_);
    filled_ = false;
  }

private:
  const hostsdk::StringSuite1* strings_;
  hostsdk::HostString value_{};
  bool filled_ = false;
};

} // namespace ZYL
