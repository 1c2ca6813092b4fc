// Changing this process's environment from a test, the same way on every operating system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zyltest {

// The variable's value, or nothing when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

// Sets the variable, or removes it when `value` is empty (nothing).
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

// This process's id, e.g. for names of temporary folders.
unsigned long ProcessId();

// Makes `link` a symbolic link to `target` (a folder's when `folder`), which need not exist.
// False where the system or the account may not make one (Wine makes none).
bool MakeSymbolicLink(const std::filesystem::path& target, const std::filesystem::path& link,
                      bool folder = false);

// Points APPDATA, and with it the engine's settings folder, at a fresh temporary folder
// that holds "ZYL Engine/", for as long as the object lives; the old value comes back after.
class ScopedSettingsFolder {
public:
  // `name` makes the folder's name unique among the tests that run side by side.
  explicit ScopedSettingsFolder(const std::string& name);
  ~ScopedSettingsFolder();
  ScopedSettingsFolder(const ScopedSettingsFolder&) = delete;
  ScopedSettingsFolder& operator=(const ScopedSettingsFolder&) = delete;

  const std::filesystem::path& Root() const noexcept { return root_; }
  // <root>/ZYL Engine, where origins.txt and settings.json are read.
  std::filesystem::path EngineFolder() const { return root_ / "ZYL Engine"; }

private:
  std::filesystem::path root_;
  std::optional<std::string> previous_;
};

} // namespace zyltest
