#include "TestEnvironment.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zyltest {

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  // The C runtime keeps its own copy for getenv and the engine reads the live process
  // environment, so both are changed. An empty C runtime value removes the variable there.
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
  ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
  if (value)
    ::setenv(name.c_str(), value->c_str(), 1);
  else
    ::unsetenv(name.c_str());
#endif
}

unsigned long ProcessId() {
#ifdef _WIN32
  return ::GetCurrentProcessId();
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

bool MakeSymbolicLink(const std::filesystem::path& target, const std::filesystem::path& link,
                      bool folder) {
#ifdef _WIN32
  // The C++ runtime of mingw makes no links; the system does, without administrator rights
  // where developer mode allows it.
  const DWORD kind =
      (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  // Wine answers success and makes nothing: the link must be there afterwards.
  return ::CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), kind) != 0 &&
         ::GetFileAttributesW(link.wstring().c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  std::error_code error;
  if (folder)
    std::filesystem::create_directory_symlink(target, link, error);
  else
    std::filesystem::create_symlink(target, link, error);
  return !error;
#endif
}

ScopedSettingsFolder::ScopedSettingsFolder(const std::string& name)
    : root_(std::filesystem::temp_directory_path() /
            ("zyl-" + name + "-" + std::to_string(ProcessId()))),
      previous_(EnvironmentValue("APPDATA")) {
  std::filesystem::create_directories(EngineFolder());
  SetEnvironmentValue("APPDATA", root_.string());
}

ScopedSettingsFolder::~ScopedSettingsFolder() {
  SetEnvironmentValue("APPDATA", previous_);
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

} // namespace zyltest
