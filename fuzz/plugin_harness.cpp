#include "plugin_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>
#include <utility>

#include "plugin_host/channel_buffers.h"

namespace {

// A fixed, uneven pattern within [-1, 1], different on every channel.
double inputPattern(std::size_t channel, std::int32_t frame) {
  const auto step = (static_cast<std::size_t>(frame) * 7 + channel * 3) % 17;
  return (static_cast<double>(step) - 8.0) / 8.0;
}

template <typename Sample>
void requireIntactGuards(const ChannelBuffers<Sample>& buffers, const char* which) {
  const auto hit = buffers.firstGuardHit();
  if (!hit) return;
  std::fprintf(stderr, "==== %s buffers: %s\n", which, hit->describe().c_str());
  propertyBroken("processing writes nothing outside the frames it was given");
}

// Names the first sample that is not finite, so a report shows where it went wrong.
template <typename Sample>
void requireFiniteOutputs(const ChannelBuffers<Sample>& outputs) {
  for (std::size_t channel = 0; channel < outputs.channels(); ++channel)
    for (std::int32_t frame = 0; frame < outputs.frames(); ++frame) {
      const Sample sample = outputs.at(channel, frame);
      if (std::isfinite(sample)) continue;
      std::fprintf(stderr, "==== %s output %zu, frame %d: %g\n",
                   std::is_same_v<Sample, float> ? "float" : "double", channel + 1,
                   static_cast<int>(frame), static_cast<double>(sample));
      propertyBroken(
          "processing finite input gives finite output whenever the loaded values are finite");
    }
}

template <typename Sample>
void runProcessCall(PluginInstance& plugin, ChannelBuffers<Sample>& inputs,
                    ChannelBuffers<Sample>& outputs, bool accumulating) {
  if constexpr (std::is_same_v<Sample, float>) {
    if (accumulating) {
      plugin.processAccumulating(inputs, outputs);
      return;
    }
  }
  plugin.process(inputs, outputs);
}

}  // namespace

SavedChunk saveChunk(PluginInstance& plugin, std::int32_t presetFlag, std::intptr_t value,
                     float opt) {
  void* data = nullptr;
  const std::intptr_t byteCount = plugin.dispatch(effGetChunk, presetFlag, value, &data, opt);
  require(byteCount == static_cast<std::intptr_t>(kSavedChunkSize), "a save is 260 bytes");
  require(data != nullptr, "a save hands out its data");
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  Chunk saved(bytes, bytes + kSavedChunkSize);
  require(startsWithMarker(saved), "a save starts with the marker");
  return {std::move(saved), data};
}

void loadChunk(PluginInstance& plugin, void* data, std::size_t byteCount, std::int32_t presetFlag,
               float opt) {
  const auto count = static_cast<std::intptr_t>(byteCount);
  require(plugin.dispatch(effSetChunk, presetFlag, count, data, opt) == count,
          "a load answers its byte count");
}

std::vector<float> loadableValues(const void* data, std::size_t byteCount) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return valuesALoadTakes(Chunk(bytes, bytes + byteCount));
}

bool allFinite(const std::vector<float>& values) {
  return std::all_of(values.begin(), values.end(),
                     [](float value) { return std::isfinite(value); });
}

bool sameValues(const std::vector<float>& a, const std::vector<float>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](float x, float y) { return x == y || (std::isnan(x) && std::isnan(y)); });
}

std::vector<float> expectedAfterLoad(std::vector<float> before, const std::vector<float>& loaded) {
  std::copy(loaded.begin(), loaded.end(), before.begin());
  return before;
}

template <typename Sample>
ChannelBuffers<Sample> patternInputs(std::int32_t frames, double amplitude,
                                     std::size_t misalignment) {
  ChannelBuffers<Sample> inputs(kChannelCount, frames, Sample{}, misalignment);
  inputs.fillWith([&](std::size_t channel, std::int32_t frame) {
    return amplitude * inputPattern(channel, frame);
  });
  return inputs;
}

template <typename Sample>
void requireSoundBlock(const ChannelBuffers<Sample>& inputs, const ChannelBuffers<Sample>& outputs,
                       bool outputsMustBeFinite) {
  requireIntactGuards(inputs, "input");
  requireIntactGuards(outputs, "output");
  if (outputsMustBeFinite) requireFiniteOutputs(outputs);
}

template <typename Sample>
ChannelBuffers<Sample> processCheckedBlock(PluginInstance& plugin, const BlockRequest& request) {
  ChannelBuffers<Sample> inputs =
      patternInputs<Sample>(request.frames, request.amplitude, request.misalignment);
  ChannelBuffers<Sample> separateOutputs(kChannelCount, request.frames, Sample{},
                                         request.misalignment);
  ChannelBuffers<Sample>& outputs = request.inPlace ? inputs : separateOutputs;
  runProcessCall(plugin, inputs, outputs, request.accumulating);
  requireSoundBlock(inputs, outputs, request.outputsMustBeFinite);
  return std::move(outputs);
}

template ChannelBuffers<float> patternInputs<float>(std::int32_t, double, std::size_t);
template void requireSoundBlock<float>(const ChannelBuffers<float>&, const ChannelBuffers<float>&,
                                       bool);
template ChannelBuffers<float> processCheckedBlock<float>(PluginInstance&, const BlockRequest&);
template ChannelBuffers<double> processCheckedBlock<double>(PluginInstance&, const BlockRequest&);
