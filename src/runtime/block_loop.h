// The block loop: the block section once per processing call, then for every
// frame the inputs into the sample channel variables, the per-sample section,
// and the channel variables out to the outputs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

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

// Calls body(i) for i = Count - 1 down to 0, unrolled.
template <std::int32_t Count, typename Body, std::int32_t... Descending>
void forEachChannel(Body&& body, std::integer_sequence<std::int32_t, Descending...>) {
  (body(Count - 1 - Descending), ...);
}
template <std::int32_t Count, typename Body>
void forEachChannel(Body&& body) {
  forEachChannel<Count>(body, std::make_integer_sequence<std::int32_t, Count>{});
}

// Frames first to frames - 1 of a block for a channel count known at compile
// time: the host's channel pointers are read once and the copies unroll.
// Every input of a frame is read before any output of that frame is written,
// so hosts may process in place.
template <std::int32_t Channels, typename Sample, typename Effect>
void runFrames(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t first,
               std::int32_t frames) {
  Sample* in[Channels];
  Sample* out[Channels];
  forEachChannel<Channels>([&](std::int32_t i) {
    in[i] = inputs[i];
    out[i] = outputs[i];
  });
  auto& channels = effect.channels;
  for (std::int32_t j = first; j < frames; ++j) {
    forEachChannel<Channels>([&](std::int32_t i) { channels[i] = in[i][j]; });
    effect.sampleSection();
    forEachChannel<Channels>(
        [&](std::int32_t i) { out[i][j] = toHostSample<Sample>(channels[i]); });
  }
}

// Effects compiled with a fixed pin count (kChannelCount) may offer their
// per-sample section in a group form: runGroups runs as many whole groups of
// frames as fit, in SIMD lanes, answers the frames it did and leaves the
// effect's variables as frame-by-frame runs would; the frames left over go
// through the per-sample section one by one.
template <typename Effect, typename Sample, typename = void>
struct HasGroupForm : std::false_type {};
template <typename Effect, typename Sample>
struct HasGroupForm<Effect, Sample,
                    std::void_t<decltype(Effect::kChannelCount),
                                decltype(std::declval<Effect&>().runGroups(
                                    std::declval<Sample**>(), std::declval<Sample**>(), 0))>>
    : std::true_type {};

// The same for a channel count known only when the block runs.
template <typename Sample, typename Effect>
void runFramesOfAnyCount(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t frames,
                         std::int32_t channelCount) {
  auto& channels = effect.channels;
  for (std::int32_t j = 0; j < frames; ++j) {
    for (std::int32_t i = channelCount - 1; i >= 0; --i) channels[i] = inputs[i][j];
    effect.sampleSection();
    for (std::int32_t i = channelCount - 1; i >= 0; --i)
      outputs[i][j] = toHostSample<Sample>(channels[i]);
  }
}

// The block section once, then every frame through the per-sample section.
template <typename Sample, typename Effect>
void runBlock(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t frames,
              std::int32_t channelCount) {
  effect.blockSection();
  if (frames <= 0) return;
  if constexpr (HasGroupForm<Effect, Sample>::value) {
    if (channelCount == Effect::kChannelCount) {
      const std::int32_t grouped = effect.runGroups(inputs, outputs, frames);
      if (grouped < frames)
        runFrames<Effect::kChannelCount>(effect, inputs, outputs, grouped, frames);
      return;
    }
  }
  if (channelCount == 2) return runFrames<2>(effect, inputs, outputs, 0, frames);
  runFramesOfAnyCount(effect, inputs, outputs, frames, channelCount);
}
