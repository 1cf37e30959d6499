// The downmixer's arithmetic worked out in double precision, in the order the
// plugin forms its products and sums, with its silencing of values that are
// not finite and its float-output limit: the one reference that the suites'
// outputs and the benchmarks' own loops are checked against.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "downmixer_view.h"
#include "plugin_host/channel_buffers.h"

// The factors the plugin derives from its controls; the defaults are those of
// a fresh instance switched on.
struct MixFactors {
  std::array<double, kPairCount> pairGain{1.0, 1.0, 1.0};
  std::array<double, kPairCount> pairOn{1.0, 1.0, 1.0};
  double masterGain = 1.0;
  double busPass = 0.0;
};

// Until the first switch-on or load every factor is 0.
inline constexpr MixFactors kSilence{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, 0.0, 0.0};
inline constexpr MixFactors kBussesPassedThrough{{1.0, 1.0, 1.0}, {1.0, 1.0, 1.0}, 1.0, 1.0};

// Control values in the plugin's units: levels and master in dB, mutes and
// routing as the values that select their list entries.
struct ControlValues {
  std::array<double, kPairCount> levels{};
  std::array<double, kPairCount> mutes{};
  double master = 0.0;
  double routing = 0.0;
};

// Control values 1 to 8, the parameters in index order, as a chunk holds them.
ControlValues controlValuesOf(const std::vector<double>& valuesFromOne);

// The factors the plugin derives from control values, any values at all.
MixFactors factorsFor(const ControlValues& controls);

// Linear gains of decibel values the tests set, correctly rounded.
constexpr double kGainMinus6dB = 0.5011872336272722;
constexpr double kGainMinus167dB = 4.466835921509635e-09;
constexpr double kGainPlus9dB = 2.8183829312644537;
constexpr double kGainMinus9dB = 0.35481338923357547;

// Room for a power function that rounds a gain differently by an ulp or so,
// as a 32-bit Windows C library may.
constexpr int kGainUlps = 2;

// One sample of every channel.
using Frame = std::array<double, kChannelCount>;

inline double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

// A result as the plugin hands it to the host: on the float path a value
// beyond the float range becomes the largest float of its sign, as an
// infinity would poison everything downstream.
template <typename Sample>
Sample hostSample(double value) {
  if constexpr (std::is_same_v<Sample, float>) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    return static_cast<float>(std::min(std::max(value, -kLargest), kLargest));
  } else {
    return value;
  }
}

// One frame in double precision. Inputs that are not finite count as
// silence; outputs 1 and 2 sum the pairs' left and right inputs weighted by
// gain and mute, then take the master; outputs 3 to 6 carry inputs 3 to 6
// times the routing; a result that is not finite is silence.
inline Frame mixedFrame(const MixFactors& mix, const Frame& inputs) {
  Frame x;
  std::transform(inputs.begin(), inputs.end(), x.begin(), finiteOrZero);
  Frame out;
  for (std::size_t side = 0; side < 2; ++side) {
    out[side] = finiteOrZero(((x[side] * mix.pairGain[0] * mix.pairOn[0] +
                               x[2 + side] * mix.pairGain[1] * mix.pairOn[1]) +
                              x[4 + side] * mix.pairGain[2] * mix.pairOn[2]) *
                             mix.masterGain);
  }
  for (std::size_t bus = 2; bus < kChannelCount; ++bus)
    out[bus] = finiteOrZero(x[bus] * mix.busPass);
  return out;
}

// Channels of samples, widened to double.
using ChannelSamples = std::vector<std::vector<double>>;

template <typename Sample>
ChannelSamples samplesOf(const ChannelBuffers<Sample>& buffers) {
  ChannelSamples samples;
  for (std::size_t channel = 0; channel < buffers.channels(); ++channel) {
    const std::vector<Sample> frames = buffers.channel(channel);
    samples.emplace_back(frames.begin(), frames.end());
  }
  return samples;
}

// What the plugin should write for six input channels: every output of the
// double-precision frame handed over as a Sample once.
template <typename Sample>
ChannelSamples expectedOutputs(const ChannelBuffers<Sample>& inputs, const MixFactors& mix) {
  ChannelSamples out(kChannelCount, std::vector<double>(static_cast<std::size_t>(inputs.frames())));
  for (std::int32_t frame = 0; frame < inputs.frames(); ++frame) {
    Frame in;
    for (std::size_t channel = 0; channel < kChannelCount; ++channel)
      in[channel] = inputs.at(channel, frame);
    const Frame mixed = mixedFrame(mix, in);
    for (std::size_t channel = 0; channel < kChannelCount; ++channel)
      out[channel][static_cast<std::size_t>(frame)] = hostSample<Sample>(mixed[channel]);
  }
  return out;
}

// Outputs 1 and 2 may stray by mixUlps units of epsilon relative to the
// expected sample (0: bit for bit); outputs 3 to 6 must match exactly. One
// line per output that strays, naming its first stray frame; none when all
// match.
std::vector<std::string> strayOutputs(const ChannelSamples& actual, const ChannelSamples& expected,
                                      double epsilon, int mixUlps);

template <typename Sample>
std::vector<std::string> strayOutputs(const ChannelBuffers<Sample>& actual,
                                      const ChannelSamples& expected, int mixUlps = 0) {
  return strayOutputs(samplesOf(actual), expected, std::numeric_limits<Sample>::epsilon(), mixUlps);
}

// Irregular samples between -1 and 1, different on every channel; their sums
// come out differently when rounded at every step instead of once.
template <typename Sample>
ChannelBuffers<Sample> testSignal(std::int32_t frames, std::size_t misalignment = 0) {
  ChannelBuffers<Sample> signal(kChannelCount, frames, Sample{}, misalignment);
  signal.fillWith([](std::size_t channel, std::int32_t frame) {
    const long step = (frame * 7919L + static_cast<long>(channel) * 104729L) % 20011L;
    return step / 10005.5 - 1.0;
  });
  return signal;
}
