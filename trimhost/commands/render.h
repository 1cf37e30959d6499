// trimhost render PLUGIN INPUT OUTPUT: an audio file through the plugin,
// block by block, as a host plays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trimhost/audio/output_format.h"
#include "trimhost/plugin/host_transport.h"
#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/output_file.h"
#include "trimhost/settings/plugin_settings.h"

struct RenderOptions {
  std::string plugin;
  std::string input;                // the first input when inputs are merged
  std::vector<std::string> merged;  // --merge: every input, the first included; else empty
  std::string output;
  PluginSettings settings;
  std::string savePreset;                                   // empty for none
  ExistingOutput existingOutputs = ExistingOutput::Refuse;  // for the output and --save-preset
  std::int32_t blockSize = 512;
  bool doublePrecision = false;
  TransportSettings transport;
  bool dropExtraChannels = false;
  std::vector<int> channelMap;  // --map, as parseChannelMap gives it; empty for none
  std::int32_t outputs = 0;     // 0 for all of the plugin's outputs
  FormatRequest format;
  bool latencyCompensation = true;
  double tailSeconds = 0.0;   // silence rendered after the input
  double timeoutSeconds = 0;  // 0: no limit
  bool json = false;
};

// What a render did: its summary line, and its object under --json.
struct RenderResult {
  std::string input;
  std::vector<std::string> mergedInputs;  // empty unless inputs were merged
  std::string output;
  std::int64_t frames = 0;  // written
  int sampleRate = 0;
  std::vector<double> peaksIn;             // per channel, of what the files hold, merged
  std::vector<std::int64_t> paddedFrames;  // per merged input, silence after its end
  std::vector<double> peaksOut;
  std::vector<std::int64_t> nanSamplesIn;  // per channel: NaN has no peak
  std::vector<std::int64_t> nanSamplesOut;
  std::vector<std::int64_t> clipped;     // output samples clipped, per channel
  std::vector<ParameterState> settings;  // every parameter as the render began
  std::int32_t latency = 0;              // the plugin's initial delay, in frames
  bool latencyCompensated = false;
  std::int64_t tailFrames = 0;
  double seconds = 0.0;
};

// One file through the plugin; its human lines go to standard output.
// Throws ToolError; an output that is a regular file then does not exist.
RenderResult renderFile(const RenderOptions& options);

// The render command for one file: renderFile in a process of its own, whose
// lines go where trimhost's go; with --json the result as one JSON object on
// standard output, however the render ended, and every human line on
// standard error. Throws ToolError with the render's status and message.
void runRender(const RenderOptions& options);
