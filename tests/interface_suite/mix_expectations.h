// Checks of what the plugin writes into the host's buffers: against the mix
// reference, and for writes outside the frames it was given.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "mix_reference.h"
#include "plugin_under_test.h"

template <typename Sample>
::testing::AssertionResult intactGuards(const ChannelBuffers<Sample>& buffers) {
  if (const auto hit = buffers.firstGuardHit()) {
    return ::testing::AssertionFailure() << "a guard sample was written: " << hit->describe();
  }
  return ::testing::AssertionSuccess();
}

// Reports every output that strays from the expected samples; see strayOutputs.
template <typename Sample>
void expectOutputs(const ChannelBuffers<Sample>& actual, const ChannelSamples& expected,
                   int mixUlps = 0) {
  for (const std::string& stray : strayOutputs(actual, expected, mixUlps)) ADD_FAILURE() << stray;
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
ChannelBuffers<Sample> processed(PluginInstance& plugin, ChannelBuffers<Sample>& inputs,
                                 std::size_t outputMisalignment = 0) {
  const ChannelSamples before = samplesOf(inputs);
  ChannelBuffers<Sample> outputs(kChannelCount, inputs.frames(), Sample{0.25}, outputMisalignment);
  plugin.process(inputs, outputs);

  EXPECT_TRUE(sameSamples(samplesOf(inputs), before)) << "the inputs were changed";
  EXPECT_TRUE(intactGuards(outputs));
  EXPECT_TRUE(intactGuards(inputs));
  return outputs;
}

// Processes the test signal and checks every output against the mix.
template <typename Sample>
void expectMix(PluginInstance& plugin, std::int32_t frames, const MixFactors& mix,
               int mixUlps = 0) {
  ChannelBuffers<Sample> inputs = testSignal<Sample>(frames);
  expectOutputs(processed(plugin, inputs), expectedOutputs(inputs, mix), mixUlps);
}
