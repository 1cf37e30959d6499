// What every test of the built plugin shares besides the support library: the
// loaded library, the host's view of the calls the plugin makes, and fixtures
// holding fresh instances.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "downmixer_view.h"
#include "hosted_instance.h"
#include "plugin_host/plugin_instance.h"

// Loaded once by main from the path given on the command line.
PluginLibrary& pluginLibrary();

inline PluginEntryProc vstPluginMain() {
  return pluginLibrary().requiredEntryPoint("VSTPluginMain");
}

inline HostCall timeRequest(AEffect* effect, std::intptr_t mask) {
  return {effect, audioMasterGetTime, 0, mask, nullptr, 0.0f};
}

// Switches on as a host does, then forgets the calls the plugin made meanwhile.
inline void switchOn(PluginInstance& plugin, RecordingHost& host) {
  switchOn(plugin);
  host.clearCalls();
}

class HostedPluginTest : public ::testing::Test {
 protected:
  RecordingHost host;
  PluginInstance plugin{host, vstPluginMain()};
};

// An instance of its own, switched on, for tests that need several.
struct SwitchedOnInstance : HostedInstance {
  SwitchedOnInstance() : HostedInstance(vstPluginMain()) { switchOn(plugin, host); }
};
