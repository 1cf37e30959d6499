// The block loop: the block section once per processing call, then for every
// frame the inputs into the sample channel variables, the per-sample section,
// and the channel variables out to the outputs.
#pragma once

#include <algorithm>
#include <cstdint>

#include "runtime/tovra_samples.h"

// The channel count the loop may move: never more than there are channel
// variables, never negative.
inline std::int32_t boundedChannelCount(std::int32_t count) {
  return std::clamp<std::int32_t>(count, 0, kSampleChannelCount);
}

// Every input of a frame is read before any output of that frame is written,
// so hosts may process in place.
template <typename Sample, typename Effect>
void runBlock(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t frames,
              std::int32_t channelCount) {
  effect.blockSection();
  if (frames <= 0) return;
  auto& channels = effect.channels;
  if (channelCount == 2) {
    for (std::int32_t j = 0; j < frames; ++j) {
      channels[0] = inputs[0][j];
      channels[1] = inputs[1][j];
      effect.sampleSection();
      outputs[0][j] = static_cast<Sample>(channels[0]);
      outputs[1][j] = static_cast<Sample>(channels[1]);
    }
    return;
  }
  for (std::int32_t j = 0; j < frames; ++j) {
    for (std::int32_t i = channelCount - 1; i >= 0; --i) channels[i] = inputs[i][j];
    effect.sampleSection();
    for (std::int32_t i = channelCount - 1; i >= 0; --i)
      outputs[i][j] = static_cast<Sample>(channels[i]);
  }
}
