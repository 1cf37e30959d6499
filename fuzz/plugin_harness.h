// What the plugin's fuzz targets share around one instance: the entry point of
// the instrumented plugin build, stopping on a broken property, saving and
// loading chunks as a host does, and processing a block whose outputs are
// checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "aeffect.h"
#include "downmixer_view.h"
#include "hosted_instance.h"
#include "plugin_host/channel_buffers.h"
#include "plugin_host/plugin_instance.h"
#include "property.h"
#include "state_chunks.h"

// Linked in from the instrumented plugin library; hosts look it up by this name.
extern "C" AEffect* VST_CALL VSTPluginMain(audioMasterCallback audioMaster);

// One instance made through the instrumented entry point for a host of its own.
struct HostedPlugin : HostedInstance {
  explicit HostedPlugin(HostLog log = HostLog::kept) : HostedInstance(VSTPluginMain, log) {}
};

struct SavedChunk {
  Chunk bytes;                   // the host's copy
  void* pluginBuffer = nullptr;  // the plugin's own buffer, valid until its next load
};

// Saves through effGetChunk and requires a 260-byte chunk that starts with
// the marker.
SavedChunk saveChunk(PluginInstance& plugin, std::int32_t presetFlag = 0, std::intptr_t value = 0,
                     float opt = 0.0f);

// Loads through effSetChunk and requires the answer to be the byte count.
void loadChunk(PluginInstance& plugin, void* data, std::size_t byteCount,
               std::int32_t presetFlag = 0, float opt = 0.0f);

// The values a load takes from byteCount bytes at data; see valuesALoadTakes.
std::vector<float> loadableValues(const void* data, std::size_t byteCount);

bool allFinite(const std::vector<float>& values);

// Equal, or both NaN.
bool sameValues(const std::vector<float>& a, const std::vector<float>& b);

// What an instance holds after a load: the values the chunk holds, in order
// from value 1, over those it held before; an ignored chunk holds none.
std::vector<float> expectedAfterLoad(std::vector<float> before, const std::vector<float>& loaded);

// Six channels of a fixed, uneven pattern within [-1, 1] times amplitude.
template <typename Sample>
ChannelBuffers<Sample> patternInputs(std::int32_t frames, double amplitude,
                                     std::size_t misalignment = 0);

// Requires that a processing call wrote nothing outside the frames of either
// buffers and, when asked, that every output sample is finite.
template <typename Sample>
void requireSoundBlock(const ChannelBuffers<Sample>& inputs, const ChannelBuffers<Sample>& outputs,
                       bool outputsMustBeFinite);

struct BlockRequest {
  std::int32_t frames;
  double amplitude;  // every input sample is this times a fixed pattern within [-1, 1]
  bool inPlace;
  bool accumulating;  // the float path's accumulating process call
  bool outputsMustBeFinite;
  std::size_t misalignment = 0;  // samples every channel starts off the allocator's alignment
};

// Processes one block of patternInputs through buffers of 6 inputs and 6
// outputs, checks it with requireSoundBlock and answers the outputs.
template <typename Sample>
ChannelBuffers<Sample> processCheckedBlock(PluginInstance& plugin, const BlockRequest& request);
