// What every test of the built plugin shares: the loaded library, the texts
// and shape the plugin declares, and a fixture holding one fresh instance.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin_instance.h"

// Loaded once by main from the path given on the command line.
PluginLibrary& pluginLibrary();

inline PluginEntryProc vstPluginMain() {
  return pluginLibrary().requiredEntryPoint("VSTPluginMain");
}

constexpr char kEffectName[] = "Kestrivane_trimixer 3 stereo pairs to 1 out";
constexpr char kVendor[] = "Kestrivane";
constexpr std::int32_t kParameterCount = 8;
constexpr std::size_t kChannelCount = 6;

// Bytes each text opcode may write, the terminating zero included.
constexpr std::size_t kParameterNameLimit = 32;
constexpr std::size_t kParameterLabelLimit = 8;
constexpr std::size_t kParameterDisplayLimit = 8;
constexpr std::size_t kProgramNameLimit = 24;
constexpr std::size_t kEffectNameLimit = 32;
constexpr std::size_t kVendorStringLimit = 64;
constexpr std::size_t kProductStringLimit = 64;

// The longest text a buffer of this limit can carry.
inline std::string cutToLimit(const std::string& text, std::size_t limit) {
  return text.substr(0, limit - 1);
}

class HostedPluginTest : public ::testing::Test {
 protected:
  RecordingHost host;
  PluginInstance plugin{host, vstPluginMain()};
};
