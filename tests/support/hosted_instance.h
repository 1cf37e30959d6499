// An instance with a host of its own, and what hosts do with one: switch it
// on, save its state and load a state into it.
#pragma once

#include <cstdint>

#include "plugin_host/plugin_instance.h"
#include "plugin_host/plugin_library.h"
#include "plugin_host/recording_host.h"
#include "state_chunks.h"

// The sample rate and block size a host sets before switching on.
constexpr float kSampleRate = 48000.0f;
constexpr std::int32_t kBlockSize = 512;

// Long runs need the host's answers but not its log of the plugin's calls.
enum class HostLog { kept, dropped };

// The instance is closed before its host goes.
struct HostedInstance {
  explicit HostedInstance(PluginEntryProc entry, HostLog log = HostLog::kept);

  RecordingHost host;
  PluginInstance plugin;
};

// What a host does before it sends audio: open, set the rate and block size,
// switch on.
void switchOn(PluginInstance& plugin, std::int32_t blockSize = kBlockSize);

// A copy of what the instance hands out; empty when it hands out nothing.
Chunk saveFrom(PluginInstance& instance, std::int32_t presetFlag = 0);

// The plugin's answer to the load.
std::intptr_t loadInto(PluginInstance& instance, Chunk chunk);
