#include "TestEnvironment.h"

#include <cstdlib>

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
