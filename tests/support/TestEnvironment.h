// Changing this process's environment from a test, the same way on every operating system.
#pragma once

#include <optional>
#include <string>

namespace zyltest {

// The variable's value, or nothing when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

// Sets the variable, or removes it when `value` is empty (nothing).
void SetEnvironmentValue(const std::string& name, const std::optional<std::string>& value);

// This process's id, e.g. for names of temporary folders.
unsigned long ProcessId();

} // namespace zyltest
