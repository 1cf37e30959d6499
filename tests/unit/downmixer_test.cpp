#include "effect/tovra_effect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/block_loop.h"
#include "runtime/controls.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Frame = std::array<double, 6>;

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
};

TEST(DownmixerDescription, DeclaresWhatTheHostShows) {
  TTovraEffect effect;
  EXPECT_EQ(effect.effectName, "Kestrivane_trimixer 3 stereo pairs to 1 out");
  EXPECT_EQ(effect.productString, effect.effectName);
  EXPECT_EQ(effect.programName, effect.effectName);
  EXPECT_EQ(effect.vendorString, "Kestrivane");
  EXPECT_EQ(effect.vendorVersion, 1000);
  EXPECT_EQ(effect.uniqueId, 0);
  EXPECT_EQ(effect.pinCount, 6);
}

TEST(DownmixerDescription, DefinesEightControlsInOrder) {
  struct Expected {
    int valueNumber;
    const char* name;
    const char* label;
    double minimum, maximum, step;
    std::vector<std::string> texts;
  };
  const std::vector<std::string> mute = {"unmute", "mute"};
  const Expected expected[] = {
      {1, "level stereo 1", "dB", -167, 0, 0.1, {}},
      {2, "level stereo 2", "dB", -167, 0, 0.1, {}},
      {3, "level stereo 3", "dB", -167, 0, 0.1, {}},
      {4, "mute stereo 1", "", 0, 1, 1, mute},
      {5, "mute stereo 2", "", 0, 1, 1, mute},
      {6, "mute stereo 3", "", 0, 1, 1, mute},
      {7, "master level", "dB", -9, 9, 0.1, {}},
      {8, "busses silent after mixer", "", 0, 1, 1,
       {"mute all busses above 1-2", "pass through all busses"}}};
  TTovraEffect effect;
  ASSERT_EQ(effect.controlCount(), 8);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const ControlDescriptor& control = effect.descriptor(i);
    EXPECT_EQ(control.valueNumber, expected[i].valueNumber);
    EXPECT_EQ(control.name, expected[i].name);
    EXPECT_EQ(control.label, expected[i].label);
    EXPECT_EQ(control.defaultValue, 0.0);
    EXPECT_EQ(control.minimum, expected[i].minimum);
    EXPECT_EQ(control.maximum, expected[i].maximum);
    EXPECT_EQ(control.step, expected[i].step);
    EXPECT_EQ(control.enumerationTexts, expected[i].texts);
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
  EXPECT_EQ(controlDisplayText(effect, 3), "unmute");
  effect.setControlValue(4, 1.0);
  EXPECT_EQ(controlDisplayText(effect, 3), "mute");
  EXPECT_EQ(controlDisplayText(effect, 7), "mute all busses above 1-2");
  effect.setControlValue(8, 1.0);
  EXPECT_EQ(controlDisplayText(effect, 7), "pass through all busses");
}

TEST_F(Downmixer, MixesThePairsAtDefaultsAndSilencesTheBusses) {
  const Frame in = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  const Frame out = mix(in);
  EXPECT_EQ(out[0], (0.1 + 0.3) + 0.5);
  EXPECT_EQ(out[1], (0.2 + 0.4) + 0.6);
  for (int bus = 2; bus < 6; ++bus) EXPECT_EQ(out[bus], 0.0);
}

TEST_F(Downmixer, GainsComeFromTheLevelsInDecibels) {
  setControls({{1, -6.0}, {2, -167.0}});
  EXPECT_EQ(mix({1, 0, 0, 0, 0, 0})[0], 0.5011872336272722);
  EXPECT_EQ(mix({0, 0, 0, 1, 0, 0})[1], 4.466835921509635e-09);
  setControls({{1, 0.0}, {2, 0.0}, {7, 9.0}});
  EXPECT_EQ(mix({0, 0, 0, 0, 1, 0})[0], 2.8183829312644537);
  setControls({{7, -9.0}});
  EXPECT_EQ(mix({0, 1, 0, 0, 0, 0})[1], 0.35481338923357547);
}

TEST_F(Downmixer, FormsProductsLeftToRightThenAppliesTheMaster) {
  setControls({{1, -6.0}, {2, -3.3}, {3, -12.1}, {7, 4.2}});
  const double g1 = std::pow(10.0, -6.0 / 20.0);
  const double g2 = std::pow(10.0, -3.3 / 20.0);
  const double g3 = std::pow(10.0, -12.1 / 20.0);
  const double master = std::pow(10.0, 4.2 / 20.0);
  const Frame in = {0.7, -0.3, 0.11, 0.9, -0.45, 0.25};
  const Frame out = mix(in);
  EXPECT_EQ(out[0], ((in[0] * g1 * 1.0 + in[2] * g2 * 1.0) + in[4] * g3 * 1.0) * master);
  EXPECT_EQ(out[1], ((in[1] * g1 * 1.0 + in[3] * g2 * 1.0) + in[5] * g3 * 1.0) * master);
}

TEST_F(Downmixer, RoutingModeOnePassesTheBussesThroughWhateverTheMix) {
  setControls({{8, 1.0}, {1, -40.0}, {2, -167.0}, {3, -0.1}, {5, 1.0}, {6, 1.0}, {7, -9.0}});
  const Frame in = {0.1, 0.2, 0.123456789, -0.987654321, 1e-310, 3.5};
  const Frame out = mix(in);
  for (int bus = 2; bus < 6; ++bus) EXPECT_EQ(out[bus], in[bus]) << bus;
}

TEST_F(Downmixer, AMutedPairLeavesTheMixButNotItsBusses) {
  setControls({{5, 1.0}, {8, 1.0}});
  const Frame out = mix({0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
  EXPECT_EQ(out[0], 0.1 + 0.5);
  EXPECT_EQ(out[1], 0.2 + 0.6);
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
  const Frame out = mix({0.5, 0, 0.25, 1.0, 0, 0});
  EXPECT_EQ(out[0], 0.5 * 1.0 * 0.5 + 0.25 * std::pow(10.0, -10.0));
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

// The block loop compiled for the downmixer runs its per-sample kernel on a
// frame in registers; reached through the base class it runs sampleSection
// frame by frame. Both must leave the same bits everywhere.
template <typename Sample>
void expectKernelMatchesSection(const std::vector<std::vector<Sample>>& input) {
  TTovraEffect viaKernel;
  TTovraEffect viaSection;
  for (TTovraEffect* effect : {&viaKernel, &viaSection}) {
    for (const auto& [number, value] : {std::pair{1, -6.0}, {2, -3.3}, {5, 1.0}, {7, 4.2}, {8, 1.0}})
      effect->setControlValue(number, value);
    effect->resume();
  }
  const auto frames = static_cast<std::int32_t>(input[0].size());
  auto kernelIo = input;
  auto sectionIo = input;
  std::vector<Sample*> kernelChannels, sectionChannels;
  for (int i = 0; i < 6; ++i) {
    kernelChannels.push_back(kernelIo[i].data());
    sectionChannels.push_back(sectionIo[i].data());
  }
  runBlock(viaKernel, kernelChannels.data(), kernelChannels.data(), frames, 6);
  runBlock(static_cast<TTovra&>(viaSection), sectionChannels.data(), sectionChannels.data(), frames, 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(0, std::memcmp(kernelIo[i].data(), sectionIo[i].data(), frames * sizeof(Sample))) << i;
  }
  EXPECT_EQ(0, std::memcmp(viaKernel.channels.data(), viaSection.channels.data(),
                           sizeof viaKernel.channels));
}

TEST(DownmixerKernel, LeavesTheSameBitsAsTheSectionFrameByFrame) {
  std::vector<std::vector<double>> input(6);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 37; ++j) input[i].push_back(std::sin(0.1 * (j + 1) * (i + 1)) * (i + 1));
  input[3][5] = kNaN;
  input[4][6] = kInf;
  input[0][7] = 1e308;
  expectKernelMatchesSection(input);
  std::vector<std::vector<float>> floats(6);
  for (int i = 0; i < 6; ++i) floats[i].assign(input[i].begin(), input[i].end());
  expectKernelMatchesSection(floats);
}

std::vector<float> saved(TTovraEffect& effect) {
  void* data = nullptr;
  const auto bytes = effect.writeState(&data);
  std::vector<float> values(static_cast<std::size_t>(bytes) / sizeof(float));
  if (bytes > 0) std::memcpy(values.data(), data, static_cast<std::size_t>(bytes));
  return values;
}

TEST_F(Downmixer, SavesControlValuesOneToSixtyFourAfterTheMarker) {
  std::vector<float> expected(65, 0.0f);
  expected[0] = -1000.0f;
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
  std::vector<float> chunk(65, 0.0f);
  chunk[0] = -1000.0f;
  chunk[1] = -12.3f;
  chunk[8] = 1.0f;
  chunk[9] = 0.5f;
  EXPECT_EQ(effect.readState(chunk.data(), 260), 260);
  EXPECT_EQ(effect.controlValue(1), static_cast<double>(-12.3f));
  EXPECT_EQ(controlDisplayText(effect, 0), "-12.30");
  EXPECT_EQ(effect.controlValue(9), 0.5);
  EXPECT_EQ(mix({0, 0, 0.25, 0, 0, 0})[2], 0.25);
  EXPECT_EQ(saved(effect), chunk);
}

TEST_F(Downmixer, PartialAndOverlongChunksLoadWhatFits) {
  setControls({{2, -3.0}});
  const float partial[] = {-1000.0f, -6.0f};
  effect.readState(partial, sizeof partial);
  EXPECT_EQ(effect.controlValue(1), -6.0);
  EXPECT_EQ(effect.controlValue(2), -3.0);
  EXPECT_EQ(mix({1, 0, 0, 0, 0, 0})[0], 0.5011872336272722);

  std::vector<float> overlong(80, 1.0f);
  overlong[0] = -1000.0f;
  effect.readState(overlong.data(), static_cast<std::int32_t>(overlong.size() * sizeof(float)));
  EXPECT_EQ(effect.controlValue(64), 1.0);
  EXPECT_EQ(effect.controlValue(65), 0.0);
}

}  // namespace
