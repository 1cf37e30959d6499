#include "plugin_host/plugin_library.h"

#include <stdexcept>

#include "plugin_host/plugin_call.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// Exported symbols travel as this type until the caller names the real one.
using ExportedFunction = void (*)();

#ifdef _WIN32

void* openLibrary(const std::string& path) { return LoadLibraryA(path.c_str()); }

std::string lastLoadError() { return "Windows error " + std::to_string(GetLastError()); }

ExportedFunction findExport(void* handle, const char* name) {
  return reinterpret_cast<ExportedFunction>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

#else

void* openLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

std::string lastLoadError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}

ExportedFunction findExport(void* handle, const char* name) {
  return reinterpret_cast<ExportedFunction>(dlsym(handle, name));
}

void closeLibrary(void* handle) { dlclose(handle); }

#endif

// Loading runs the library's own start-up code, which may crash like any other.
void* startLibrary(const std::string& path) {
  const PluginCallScope call("library start-up");
  return openLibrary(path);
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : handle_(startLibrary(path)) {
  if (handle_ == nullptr) {
    throw std::runtime_error("cannot load plugin library " + path + ": " + lastLoadError());
  }
}

PluginLibrary::~PluginLibrary() { closeLibrary(handle_); }

PluginEntryProc PluginLibrary::entryPoint(const char* name) const {
  return reinterpret_cast<PluginEntryProc>(findExport(handle_, name));
}

PluginEntryProc PluginLibrary::requiredEntryPoint(const char* name) const {
  const PluginEntryProc entry = entryPoint(name);
  if (entry == nullptr) {
    throw std::runtime_error(std::string("the plugin library exports no ") + name);
  }
  return entry;
}
