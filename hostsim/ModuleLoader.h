// Loads the engine module and finds its one export.
#pragma once

#include "hostsdk/ControlSurfacePluginSuite.h"

#include <string>

namespace zylsim {

class ModuleLoader {
public:
  ModuleLoader() = default;
  ~ModuleLoader(); // unloads the module
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  // False with a one-line reason when the module cannot be loaded or has no EntryPoint.
  bool Load(const std::string& path, std::string* error);
  hostsdk::EntryPointFunction EntryPoint() const noexcept { return entryPoint_; }

private:
  void* module_ = nullptr;
  hostsdk::EntryPointFunction entryPoint_ = nullptr;
};

// The default module path: ZYL_Engine.acsrf beside the running executable.
std::string DefaultModulePath();

} // namespace zylsim
