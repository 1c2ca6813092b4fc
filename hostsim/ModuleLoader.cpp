#include "ModuleLoader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <vector>

namespace zylsim {

namespace {
constexpr const char* kModuleFileName = "ZYL_Engine.acsrf";

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
} // namespace

#ifdef _WIN32

ModuleLoader::~ModuleLoader() {
  if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
}

bool ModuleLoader::Load(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    *error = "cannot load module " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  const FARPROC entry = GetProcAddress(module, hostsdk::kEntryPointSymbol);
  if (entry == nullptr) {
    FreeLibrary(module);
    *error = "module " + path + " has no EntryPoint";
    return false;
  }
  module_ = module;
  entryPoint_ = reinterpret_cast<hostsdk::EntryPointFunction>(reinterpret_cast<void*>(entry));
  return true;
}

std::string DefaultModulePath() {
  std::vector<char> buffer(32768);
  const DWORD length =
      GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return DirectoryOf(std::string(buffer.data(), length)) + "\\" + kModuleFileName;
}

#else

ModuleLoader::~ModuleLoader() {
  if (module_ != nullptr) dlclose(module_);
}

bool ModuleLoader::Load(const std::string& path, std::string* error) {
  // a bare file name would make the loader search the library path, not the given place
  const std::string located = path.find('/') == std::string::npos ? "./" + path : path;
  void* module = dlopen(located.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load module " + path + ": " + (reason != nullptr ? reason : "unknown error");
    return false;
  }
  void* entry = dlsym(module, hostsdk::kEntryPointSymbol);
  if (entry == nullptr) {
    dlclose(module);
    *error = "module " + path + " has no EntryPoint";
    return false;
  }
  module_ = module;
  entryPoint_ = reinterpret_cast<hostsdk::EntryPointFunction>(entry);
  return true;
}

std::string DefaultModulePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return kModuleFileName;
  return DirectoryOf(std::string(buffer.data(), static_cast<std::size_t>(length))) + "/" +
         kModuleFileName;
}

#endif

} // namespace zylsim
