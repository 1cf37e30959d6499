// What every test of the built plugin shares: the loaded library, the texts,
// shape and parameters the plugin declares, the host's usual requests, and a
// fixture holding one fresh instance.
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

// The text opcodes with the limits of their buffers: those that take a
// parameter index, and those of the whole instance.
struct TextOpcode {
  const char* what;
  std::int32_t opcode;
  std::size_t limit;
};

inline const TextOpcode kParameterTexts[] = {
    {"name", effGetParamName, kParameterNameLimit},
    {"label", effGetParamLabel, kParameterLabelLimit},
    {"display", effGetParamDisplay, kParameterDisplayLimit},
};

inline const TextOpcode kInstanceTexts[] = {
    {"program name", effGetProgramName, kProgramNameLimit},
    {"effect name", effGetEffectName, kEffectNameLimit},
    {"vendor", effGetVendorString, kVendorStringLimit},
    {"product", effGetProductString, kProductStringLimit},
};

// The longest text a buffer of this limit can carry.
inline std::string cutToLimit(const std::string& text, std::size_t limit) {
  return text.substr(0, limit - 1);
}

// Host parameter indices: a level per input pair, a mute per pair, then the
// master level and the routing of outputs 3 to 6.
constexpr std::int32_t kFirstLevel = 0;
constexpr std::int32_t kFirstMute = 3;
constexpr std::int32_t kMasterLevel = 6;
constexpr std::int32_t kBusRouting = 7;

// Normalised positions of control values, for levels and the master level.
inline double levelPosition(double decibels) { return (decibels + 167.0) / 167.0; }
inline double masterPosition(double decibels) { return (decibels + 9.0) / 18.0; }

// The normalised position of a control value of the parameter at index; the
// mutes and the routing range over 0 to 1, so their values are positions.
inline double positionOf(std::int32_t index, double value) {
  if (index >= kFirstLevel && index < kFirstMute) return levelPosition(value);
  if (index == kMasterLevel) return masterPosition(value);
  return value;
}

inline HostCall timeRequest(AEffect* effect, std::intptr_t mask) {
  return {effect, audioMasterGetTime, 0, mask, nullptr, 0.0f};
}

// What a host does before it sends audio: open, set the rate and block size,
// switch on. Forgets the calls the plugin made meanwhile.
inline void switchOn(PluginInstance& plugin, RecordingHost& host) {
  plugin.dispatch(effOpen);
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  plugin.dispatch(effSetBlockSize, 0, 512);
  plugin.dispatch(effMainsChanged, 0, 1);
  host.clearCalls();
}

class HostedPluginTest : public ::testing::Test {
 protected:
  RecordingHost host;
  PluginInstance plugin{host, vstPluginMain()};
};

// An instance of its own, switched on, for tests that need several.
struct SwitchedOnInstance {
  SwitchedOnInstance() { switchOn(plugin, host); }

  RecordingHost host;
  PluginInstance plugin{host, vstPluginMain()};
};
