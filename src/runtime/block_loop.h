// The block loop: the block section once per processing call, then for every
// frame the inputs into the sample channel variables, the per-sample section,
// and the channel variables out to the outputs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "runtime/tovra_samples.h"

// The channel count the loop may move: never more than there are channel
// variables, never negative.
inline std::int32_t boundedChannelCount(std::int32_t count) {
  return std::clamp<std::int32_t>(count, 0, kSampleChannelCount);
}

// A channel variable as the host's sample type. On the float path a value
// beyond the float range is written as the largest float of its sign rather
// than as an infinity, which would poison everything downstream in the host.
template <typename Sample>
Sample toHostSample(double value) {
  if constexpr (std::is_same_v<Sample, float>) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    return static_cast<float>(std::min(std::max(value, -kLargest), kLargest));
  } else {
    return value;
  }
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
      outputs[0][j] = toHostSample<Sample>(channels[0]);
      outputs[1][j] = toHostSample<Sample>(channels[1]);
    }
    return;
  }
  for (std::int32_t j = 0; j < frames; ++j) {
    for (std::int32_t i = channelCount - 1; i >= 0; --i) channels[i] = inputs[i][j];
    effect.sampleSection();
    for (std::int32_t i = channelCount - 1; i >= 0; --i)
      outputs[i][j] = toHostSample<Sample>(channels[i]);
  }
}
