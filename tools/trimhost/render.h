// trimhost render PLUGIN INPUT OUTPUT: an audio file through the plugin,
// block by block, as a host plays it.
#pragma once

#include <cstdint>
#include <string>

#include "host_transport.h"
#include "output_format.h"
#include "plugin_settings.h"

struct RenderOptions {
  std::string plugin;
  std::string input;
  std::string output;
  PluginSettings settings;
  std::string savePreset;  // empty for none
  std::int32_t blockSize = 512;
  bool doublePrecision = false;
  TransportSettings transport;
  bool dropExtraChannels = false;
  std::int32_t outputs = 0;  // 0 for all of the plugin's outputs
  FormatRequest format;
};

// Throws ToolError; an output that is a regular file then does not exist.
void runRender(const RenderOptions& options);
