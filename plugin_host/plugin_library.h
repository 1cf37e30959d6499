// Loads a plugin library as a host does and looks up its entry points by name.
#pragma once

#include <string>

#include "aeffect.h"

using PluginEntryProc = AEffect*(VST_CALL*)(audioMasterCallback host);

class PluginLibrary {
 public:
  // Throws std::runtime_error when the library cannot be loaded.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();

  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Null when the library exports no such name.
  PluginEntryProc entryPoint(const char* name) const;

  // Throws std::runtime_error when the library exports no such name.
  PluginEntryProc requiredEntryPoint(const char* name) const;

 private:
  void* handle_;
};
