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

// The frames of a block for a channel count known at compile time: the host's
// channel pointers are read once and the copies unroll. Every input of a
// frame is read before any output of that frame is written, so hosts may
// process in place.
template <std::int32_t Channels, typename Sample, typename Effect>
void runFrames(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t frames) {
  Sample* in[Channels];
  Sample* out[Channels];
  forEachChannel<Channels>([&](std::int32_t i) {
    in[i] = inputs[i];
    out[i] = outputs[i];
  });
  auto& channels = effect.channels;
  for (std::int32_t j = 0; j < frames; ++j) {
    forEachChannel<Channels>([&](std::int32_t i) { channels[i] = in[i][j]; });
    effect.sampleSection();
    forEachChannel<Channels>(
        [&](std::int32_t i) { out[i][j] = toHostSample<Sample>(channels[i]); });
  }
}

// Effects compiled with a fixed pin count (kChannelCount) may offer their
// per-sample section as a kernel: an object taken once per block that does to
// a frame held by the caller what sampleSection does to the channel
// variables. The frame then stays in registers, and the kernel hands the
// effect its variables back after the block, as frame-by-frame runs of
// sampleSection would have left them.
template <typename Effect, typename = void>
struct HasSampleKernel : std::false_type {};
template <typename Effect>
struct HasSampleKernel<Effect, std::void_t<decltype(Effect::kChannelCount),
                                           decltype(std::declval<Effect&>().sampleKernel())>>
    : std::true_type {};

// A kernel may also offer a group form, which runs whole groups of frames in
// SIMD lanes and leaves the rest to the frame-by-frame kernel.
template <typename Kernel, typename Sample, typename = void>
struct HasGroupForm : std::false_type {};
template <typename Kernel, typename Sample>
struct HasGroupForm<
    Kernel, Sample,
    std::void_t<decltype(std::declval<Kernel&>().template runGroups<Sample>(
        std::declval<Sample**>(), std::declval<Sample**>(), 0, std::declval<double*>()))>>
    : std::true_type {};

template <typename Sample, typename Effect>
void runKernelFrames(Effect& effect, Sample** inputs, Sample** outputs, std::int32_t frames) {
  constexpr std::int32_t kChannels = Effect::kChannelCount;
  Sample* in[kChannels];
  Sample* out[kChannels];
  // Every frame of a block that has frames is written before it is read: by
  // the groups for their last frame, or by the frame-by-frame loop.
  double frame[kChannels];
  forEachChannel<kChannels>([&](std::int32_t i) {
    in[i] = inputs[i];
    out[i] = outputs[i];
  });
  auto kernel = effect.sampleKernel();
  std::int32_t j = 0;
  if constexpr (HasGroupForm<decltype(kernel), Sample>::value)
    j = kernel.template runGroups<Sample>(in, out, frames, frame);
  for (; j < frames; ++j) {
    forEachChannel<kChannels>([&](std::int32_t i) { frame[i] = in[i][j]; });
    kernel(frame);
    forEachChannel<kChannels>([&](std::int32_t i) { out[i][j] = toHostSample<Sample>(frame[i]); });
  }
  forEachChannel<kChannels>([&](std::int32_t i) { effect.channels[i] = frame[i]; });
  kernel.handBack(effect);
}

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
  if constexpr (HasSampleKernel<Effect>::value) {
    if (channelCount == Effect::kChannelCount)
      return runKernelFrames(effect, inputs, outputs, frames);
  }
  if (channelCount == 2) return runFrames<2>(effect, inputs, outputs, frames);
  runFramesOfAnyCount(effect, inputs, outputs, frames, channelCount);
}
