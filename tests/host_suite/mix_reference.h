// What the downmixer should write for given inputs and settings, worked out
// here in double precision in the order the mix is defined, and a comparison
// of the plugin's outputs with it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <vector>

#include "plugin_under_test.h"

// Linear gains of the decibel values the tests set, correctly rounded.
constexpr double kGainMinus6dB = 0.5011872336272722;
constexpr double kGainMinus167dB = 4.466835921509635e-09;
constexpr double kGainPlus9dB = 2.8183829312644537;
constexpr double kGainMinus9dB = 0.35481338923357547;

// Room for a power function that rounds a gain differently by an ulp or so,
// as a 32-bit Windows C library may.
constexpr int kGainUlps = 2;

// The factors the plugin derives from its controls; the defaults are those
// of a fresh instance switched on.
struct MixSettings {
  std::array<double, 3> pairGain{1.0, 1.0, 1.0};
  std::array<double, 3> pairOn{1.0, 1.0, 1.0};
  double masterGain = 1.0;
  double busPass = 0.0;
};

const MixSettings kBussesPassedThrough{{1.0, 1.0, 1.0}, {1.0, 1.0, 1.0}, 1.0, 1.0};
const MixSettings kSilence{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, 0.0, 0.0};

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

inline double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

// Outputs 1 and 2 sum the pairs' left and right inputs; outputs 3 to 6 carry
// inputs 3 to 6 times the routing value. Each output is rounded to Sample once.
template <typename Sample>
ChannelSamples expectedOutputs(const ChannelBuffers<Sample>& inputs, const MixSettings& mix) {
  const ChannelSamples in = samplesOf(inputs);
  ChannelSamples out(kChannelCount, std::vector<double>(inputs.frames()));
  for (std::int32_t frame = 0; frame < inputs.frames(); ++frame) {
    const auto input = [&](std::size_t channel) { return finiteOrZero(in[channel][frame]); };
    for (std::size_t side = 0; side < 2; ++side) {
      const double sum = (input(side) * mix.pairGain[0] * mix.pairOn[0] +
                          input(2 + side) * mix.pairGain[1] * mix.pairOn[1]) +
                         input(4 + side) * mix.pairGain[2] * mix.pairOn[2];
      out[side][frame] = static_cast<Sample>(sum * mix.masterGain);
    }
    for (std::size_t channel = 2; channel < kChannelCount; ++channel) {
      out[channel][frame] = static_cast<Sample>(input(channel) * mix.busPass);
    }
  }
  return out;
}

// Outputs 1 and 2 may stray by mixUlps units in the last place of the
// expected sample (0: bit for bit); outputs 3 to 6 must match exactly.
// Reports the first stray frame of each channel.
template <typename Sample>
void expectOutputs(const ChannelBuffers<Sample>& actual, const ChannelSamples& expected,
                   int mixUlps = 0) {
  ASSERT_EQ(actual.channels(), expected.size());
  const ChannelSamples got = samplesOf(actual);
  for (std::size_t channel = 0; channel < expected.size(); ++channel) {
    const int ulps = channel < 2 ? mixUlps : 0;
    for (std::size_t frame = 0; frame < expected[channel].size(); ++frame) {
      const double want = expected[channel][frame];
      const double tolerance = ulps * std::numeric_limits<Sample>::epsilon() * std::abs(want);
      if (!(std::abs(got[channel][frame] - want) <= tolerance)) {
        ADD_FAILURE() << std::setprecision(17) << "output channel " << channel << ", frame "
                      << frame << ": " << got[channel][frame] << ", expected " << want;
        break;
      }
    }
  }
}

// Irregular samples between -1 and 1, different on every channel; their sums
// come out differently when rounded at every step instead of once.
template <typename Sample>
ChannelBuffers<Sample> testSignal(std::int32_t frames) {
  ChannelBuffers<Sample> signal(kChannelCount, frames, Sample{});
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    for (std::int32_t frame = 0; frame < frames; ++frame) {
      const long step = (frame * 7919L + static_cast<long>(channel) * 104729L) % 20011L;
      signal.at(channel, frame) = static_cast<Sample>(step / 10005.5 - 1.0);
    }
  }
  return signal;
}

// NaN samples count as the same, so that inputs holding them can be compared.
inline bool sameSamples(const ChannelSamples& a, const ChannelSamples& b) {
  const auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](const auto& x, const auto& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), same);
  });
}

// Processes the inputs into fresh outputs as a host does, and checks that
// the plugin left the inputs and every guard sample alone.
template <typename Sample>
ChannelBuffers<Sample> processed(PluginInstance& plugin, ChannelBuffers<Sample>& inputs) {
  const ChannelSamples before = samplesOf(inputs);
  ChannelBuffers<Sample> outputs(kChannelCount, inputs.frames(), Sample{0.25});
  plugin.process(inputs, outputs);

  EXPECT_TRUE(sameSamples(samplesOf(inputs), before)) << "the inputs were changed";
  EXPECT_TRUE(outputs.guardsIntact());
  EXPECT_TRUE(inputs.guardsIntact());
  return outputs;
}

// Processes the test signal and checks every output against the mix.
template <typename Sample>
void expectMix(PluginInstance& plugin, std::int32_t frames, const MixSettings& mix,
               int mixUlps = 0) {
  ChannelBuffers<Sample> inputs = testSignal<Sample>(frames);
  expectOutputs(processed(plugin, inputs), expectedOutputs(inputs, mix), mixUlps);
}
