#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "downmixer_view.h"
#include "effect/tovra_effect.h"
#include "mix_reference.h"
#include "plugin_host/channel_buffers.h"
#include "runtime/block_loop.h"
#include "runtime/controls.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The downmixer after the host switched it on, driven one frame at a time.
struct Downmixer : ::testing::Test {
  TTovraEffect effect;

  Downmixer() { effect.resume(); }

  void setControls(std::initializer_list<std::pair<int, double>> values) {
    for (const auto& [number, value] : values) effect.setControlValue(number, value);
    effect.controlSection();
  }

  Frame mix(const Frame& inputs) {
    for (int i = 0; i < 6; ++i) effect.channels[i] = inputs[i];
    effect.sampleSection();
    Frame outputs;
    for (int i = 0; i < 6; ++i) outputs[i] = effect.channels[i];
    return outputs;
  }

  // What the mix reference makes of the inputs at the control values in force.
  Frame reference(const Frame& inputs) const {
    std::vector<double> values;
    for (std::int32_t index = 0; index < kParameterCount; ++index)
      values.push_back(effect.controlValue(valueNumberOf(index)));
    return mixedFrame(factorsFor(controlValuesOf(values)), inputs);
  }
};

TEST(DownmixerDescription, DeclaresWhatTheHostShows) {
  TTovraEffect effect;
  EXPECT_EQ(effect.effectName, kIdentity.effectName);
  EXPECT_EQ(effect.productString, kIdentity.product);
  EXPECT_EQ(effect.programName, effect.effectName);
  EXPECT_EQ(effect.vendorString, kIdentity.vendor);
  EXPECT_EQ(effect.vendorVersion, kIdentity.vendorVersion);
  EXPECT_EQ(effect.uniqueId, kUniqueId);
  EXPECT_EQ(effect.pinCount, static_cast<std::int32_t>(kChannelCount));
}

std::vector<std::string> entriesOf(const ParameterView& parameter) {
  if (!parameter.isList()) return {};
  return {parameter.entries.begin(), parameter.entries.end()};
}

TEST(DownmixerDescription, DefinesEightControlsInOrder) {
  TTovraEffect effect;
  ASSERT_EQ(effect.controlCount(), kParameterCount);
  for (std::int32_t i = 0; i < kParameterCount; ++i) {
    SCOPED_TRACE(i);
    const ControlDescriptor& control = effect.descriptor(i);
    const ParameterView& expected = kParameters[i];
    EXPECT_EQ(control.valueNumber, valueNumberOf(i));
    EXPECT_EQ(control.name, expected.name);
    EXPECT_EQ(control.label, expected.label);
    EXPECT_EQ(control.defaultValue, 0.0);
    EXPECT_EQ(control.minimum, expected.minimum);
    EXPECT_EQ(control.maximum, expected.maximum);
    EXPECT_EQ(control.step, expected.step);
    EXPECT_EQ(control.enumerationTexts, entriesOf(expected));
    EXPECT_EQ(control.link, nullptr);
    EXPECT_TRUE(control.folder.empty() && control.spareText.empty());
  }
  for (int number = 0; number < 128; ++number) EXPECT_EQ(effect.controlValue(number), 0.0);
}

TEST(DownmixerDescription, DisplaysLevelsAndLists) {
  TTovraEffect effect;
  effect.setControlValue(1, -6.0);
  EXPECT_EQ(controlDisplayText(effect, 0), "-6.00");
  effect.setControlValue(1, -167.0);
  EXPECT_EQ(controlDisplayText(effect, 0), "-167.00");
  EXPECT_EQ(controlDisplayText(effect, kFirstMuteIndex), kParameters[kFirstMuteIndex].entries[0]);
  effect.setControlValue(valueNumberOf(kFirstMuteIndex), kMuted);
  EXPECT_EQ(controlDisplayText(effect, kFirstMuteIndex), kParameters[kFirstMuteIndex].entries[1]);
  EXPECT_EQ(controlDisplayText(effect, kBusRoutingIndex), kParameters[kBusRoutingIndex].entries[0]);
  effect.setControlValue(valueNumberOf(kBusRoutingIndex), kBussesPassed);
  EXPECT_EQ(controlDisplayText(effect, kBusRoutingIndex), kParameters[kBusRoutingIndex].entries[1]);
}

TEST_F(Downmixer, MixesThePairsAtDefaultsAndSilencesTheBusses) {
  const Frame in = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  const Frame out = mix(in);
  EXPECT_EQ(out, reference(in));
  for (int bus = 2; bus < 6; ++bus) EXPECT_EQ(out[bus], 0.0);
}

TEST_F(Downmixer, GainsComeFromTheLevelsInDecibels) {
  setControls({{1, -6.0}, {2, -167.0}});
  EXPECT_EQ(mix({1, 0, 0, 0, 0, 0})[0], kGainMinus6dB);
  EXPECT_EQ(mix({0, 0, 0, 1, 0, 0})[1], kGainMinus167dB);
  setControls({{1, 0.0}, {2, 0.0}, {7, 9.0}});
  EXPECT_EQ(mix({0, 0, 0, 0, 1, 0})[0], kGainPlus9dB);
  setControls({{7, -9.0}});
  EXPECT_EQ(mix({0, 1, 0, 0, 0, 0})[1], kGainMinus9dB);
}

TEST_F(Downmixer, FormsProductsLeftToRightThenAppliesTheMaster) {
  setControls({{1, -6.0}, {2, -3.3}, {3, -12.1}, {7, 4.2}});
  const Frame in = {0.7, -0.3, 0.11, 0.9, -0.45, 0.25};
  EXPECT_EQ(mix(in), reference(in));
}

TEST_F(Downmixer, RoutingModeOnePassesTheBussesThroughWhateverTheMix) {
  setControls({{8, 1.0}, {1, -40.0}, {2, -167.0}, {3, -0.1}, {5, 1.0}, {6, 1.0}, {7, -9.0}});
  const Frame in = {0.1, 0.2, 0.123456789, -0.987654321, 1e-310, 3.5};
  const Frame out = mix(in);
  for (int bus = 2; bus < 6; ++bus) EXPECT_EQ(out[bus], in[bus]) << bus;
}

TEST_F(Downmixer, AMutedPairLeavesTheMixButNotItsBusses) {
  setControls({{5, 1.0}, {8, 1.0}});
  const Frame in = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  const Frame out = mix(in);
  EXPECT_EQ(out, reference(in));
  EXPECT_EQ(out[2], 0.3);
  EXPECT_EQ(out[3], 0.4);
}

TEST_F(Downmixer, NonFiniteInputsCountAsSilence) {
  setControls({{8, 1.0}});
  const Frame out = mix({kNaN, 0.25, kInf, -kInf, 0.5, kNaN});
  EXPECT_EQ(out[0], 0.5);
  EXPECT_EQ(out[1], 0.25);
  EXPECT_EQ(out[2], 0.0);
  EXPECT_EQ(out[3], 0.0);
  EXPECT_EQ(out[4], 0.5);
  EXPECT_EQ(out[5], 0.0);
}

TEST_F(Downmixer, NothingClipsAndOverflowBecomesSilence) {
  setControls({{7, 9.0}});
  EXPECT_GT(mix({0.9, 0, 0.9, 0, 0.9, 0})[0], 7.0);
  const double huge = std::numeric_limits<double>::max();
  EXPECT_EQ(mix({huge, 0, huge, 0, 0, 0})[0], 0.0);
}

TEST_F(Downmixer, ControlsOutsideTheirRangesAreUsedAsTheyAre) {
  setControls({{4, 0.5}, {8, 0.5}, {2, -200.0}});
  const Frame in = {0.5, 0, 0.25, 1.0, 0, 0};
  const Frame out = mix(in);
  EXPECT_EQ(out, reference(in));
  EXPECT_EQ(out[2], 0.125);
  EXPECT_EQ(out[3], 0.5);
}

TEST_F(Downmixer, NonFiniteControlsDeriveZero) {
  setControls({{1, kNaN}, {5, kNaN}, {8, kNaN}, {7, kInf}});
  EXPECT_EQ(mix({1, 1, 1, 1, 1, 1}), (Frame{0, 0, 0, 0, 0, 0}));
  setControls({{7, 0.0}});
  EXPECT_EQ(mix({1, 1, 1, 1, 1, 1}), (Frame{1, 1, 0, 0, 0, 0}));
}

TEST_F(Downmixer, OpenZeroesTheDerivedValuesUntilTheNextControlSection) {
  effect.open();
  EXPECT_EQ(mix({1, 1, 1, 1, 1, 1}), (Frame{0, 0, 0, 0, 0, 0}));
  effect.resume();
  EXPECT_EQ(mix({1, 1, 1, 1, 1, 1}), (Frame{3, 3, 0, 0, 0, 0}));
}

// Waves of a different pitch and size on every channel, with a NaN, an
// infinity and a value too large for a float among them.
template <typename Sample>
ChannelBuffers<Sample> kernelSignal() {
  ChannelBuffers<Sample> signal(kChannelCount, 37, Sample{});
  signal.fillWith([](std::size_t channel, std::int32_t frame) {
    const double size = static_cast<double>(channel + 1);
    return std::sin(0.1 * (frame + 1) * size) * size;
  });
  signal.at(3, 5) = static_cast<Sample>(kNaN);
  signal.at(4, 6) = static_cast<Sample>(kInf);
  signal.at(0, 7) = static_cast<Sample>(1e308);
  return signal;
}

// The block loop compiled for the downmixer runs its per-sample kernel on a
// frame in registers; reached through the base class it runs sampleSection
// frame by frame. Both must leave the same bits everywhere.
template <typename Sample>
void expectKernelMatchesSection() {
  TTovraEffect viaKernel;
  TTovraEffect viaSection;
  for (TTovraEffect* effect : {&viaKernel, &viaSection}) {
    for (const auto& [number, value] :
         {std::pair{1, -6.0}, {2, -3.3}, {5, 1.0}, {7, 4.2}, {8, 1.0}})
      effect->setControlValue(number, value);
    effect->resume();
  }
  ChannelBuffers<Sample> kernelIo = kernelSignal<Sample>();
  ChannelBuffers<Sample> sectionIo = kernelSignal<Sample>();
  const std::int32_t frames = kernelIo.frames();
  const auto channels = static_cast<std::int32_t>(kChannelCount);
  runBlock(viaKernel, kernelIo.pointers(), kernelIo.pointers(), frames, channels);
  runBlock(static_cast<TTovra&>(viaSection), sectionIo.pointers(), sectionIo.pointers(), frames,
           channels);
  for (std::size_t i = 0; i < kChannelCount; ++i) {
    EXPECT_EQ(0, std::memcmp(kernelIo.pointers()[i], sectionIo.pointers()[i],
                             static_cast<std::size_t>(frames) * sizeof(Sample)))
        << i;
  }
  EXPECT_TRUE(kernelIo.guardsIntact());
  EXPECT_EQ(0, std::memcmp(viaKernel.channels.data(), viaSection.channels.data(),
                           sizeof viaKernel.channels));
}

TEST(DownmixerKernel, LeavesTheSameBitsAsTheSectionFrameByFrame) {
  expectKernelMatchesSection<double>();
  expectKernelMatchesSection<float>();
}

std::vector<float> saved(TTovraEffect& effect) {
  void* data = nullptr;
  const auto bytes = effect.writeState(&data);
  std::vector<float> values(static_cast<std::size_t>(bytes) / sizeof(float));
  if (bytes > 0) std::memcpy(values.data(), data, static_cast<std::size_t>(bytes));
  return values;
}

TEST_F(Downmixer, SavesControlValuesOneToSixtyFourAfterTheMarker) {
  std::vector<float> expected(1 + kSavedValueCount, 0.0f);
  expected[0] = kStateMarker;
  EXPECT_EQ(saved(effect), expected);
  setControls({{1, -12.3}, {4, 1.0}, {8, 1.0}, {9, 0.75}, {64, -2.0}, {65, 5.0}, {0, 3.0}});
  expected[1] = -12.3f;
  expected[4] = 1.0f;
  expected[8] = 1.0f;
  expected[9] = 0.75f;
  expected[64] = -2.0f;
  EXPECT_EQ(saved(effect), expected);
}

TEST_F(Downmixer, LoadsAChunkIntoTheControlsAndRecomputesTheMix) {
  std::vector<float> chunk(1 + kSavedValueCount, 0.0f);
  chunk[0] = kStateMarker;
  chunk[1] = -12.3f;
  chunk[8] = 1.0f;
  chunk[9] = 0.5f;
  const auto size = static_cast<std::int32_t>(kSavedChunkSize);
  EXPECT_EQ(effect.readState(chunk.data(), size), size);
  EXPECT_EQ(effect.controlValue(1), static_cast<double>(-12.3f));
  EXPECT_EQ(controlDisplayText(effect, 0), "-12.30");
  EXPECT_EQ(effect.controlValue(9), 0.5);
  EXPECT_EQ(mix({0, 0, 0.25, 0, 0, 0})[2], 0.25);
  EXPECT_EQ(saved(effect), chunk);
}

TEST_F(Downmixer, PartialAndOverlongChunksLoadWhatFits) {
  setControls({{2, -3.0}});
  const float partial[] = {kStateMarker, -6.0f};
  effect.readState(partial, sizeof partial);
  EXPECT_EQ(effect.controlValue(1), -6.0);
  EXPECT_EQ(effect.controlValue(2), -3.0);
  EXPECT_EQ(mix({1, 0, 0, 0, 0, 0})[0], kGainMinus6dB);

  std::vector<float> overlong(80, 1.0f);
  overlong[0] = kStateMarker;
  effect.readState(overlong.data(), static_cast<std::int32_t>(overlong.size() * sizeof(float)));
  EXPECT_EQ(effect.controlValue(64), 1.0);
  EXPECT_EQ(effect.controlValue(65), 0.0);
}

}  // namespace
