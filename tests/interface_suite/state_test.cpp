// Saving and restoring an instance through state chunks: the bytes a save
// holds, how loads of every shape are taken, what restored values do to the
// parameters and the sound, and the initialisation on the first load.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "mix_expectations.h"
#include "plugin_under_test.h"
#include "state_chunks.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

class StateTest : public HostedPluginTest {
 protected:
  Chunk save() { return saveFrom(plugin); }
  std::intptr_t load(const Chunk& chunk) { return loadInto(plugin, chunk); }
};

TEST_F(StateTest, FreshInstanceSavesTheMarkerThenSixtyFourZeros) {
  for (std::int32_t presetFlag : {0, 1}) {
    SCOPED_TRACE(::testing::Message() << "preset flag " << presetFlag);
    const Chunk saved = saveFrom(plugin, presetFlag);

    ASSERT_EQ(saved.size(), kSavedChunkSize);
    EXPECT_TRUE(startsWithMarker(saved));
    EXPECT_EQ(saved, savedChunkOf({}));
  }
}

TEST_F(StateTest, SavesTheControlValuesInValueNumberOrder) {
  plugin.setParameter(kFirstLevelIndex, 0.5f);
  plugin.setParameter(kFirstLevelIndex + 2, static_cast<float>(levelPosition(-12.3)));
  plugin.setParameter(kFirstMuteIndex + 1, 1.0f);
  plugin.setParameter(kMasterLevelIndex, 1.0f);
  plugin.setParameter(kBusRoutingIndex, 1.0f);
  const Chunk saved = save();

  EXPECT_EQ(saved, savedChunkOf({-83.5f, 0.0f, -12.3f, 0.0f, 1.0f, 0.0f, 9.0f, 1.0f}));
  ASSERT_EQ(saved.size(), kSavedChunkSize);
  EXPECT_EQ(Chunk(saved.begin() + 4, saved.begin() + 8), (Chunk{0x00, 0x00, 0xA7, 0xC2}));
}

TEST_F(StateTest, ReloadsTheChunkItHandedOut) {
  plugin.setParameter(kFirstLevelIndex, 0.5f);
  void* data = nullptr;
  const std::intptr_t size = plugin.dispatch(effGetChunk, 0, 0, &data);
  plugin.setParameter(kFirstLevelIndex, 1.0f);

  EXPECT_EQ(plugin.dispatch(effSetChunk, 0, size, data), size);
  EXPECT_EQ(plugin.getParameter(kFirstLevelIndex), 0.5f);
}

// Far below one control step, above the rounding of a position to float.
constexpr double kPositionTolerance = 1e-6;

struct RestoredParameter {
  std::int32_t index;
  double position;
  const char* display;
};

TEST_F(StateTest, ShowsRestoredValuesWithoutStepOrRange) {
  const std::vector<float> values = {-83.44f, -200.0f, -12.3f, 0.5f, 0.0f, 2.5f, 12.0f, 1.0f, 7.0f};
  EXPECT_EQ(load(chunkOf(values)), 40);

  const RestoredParameter restored[] = {
      {kFirstLevelIndex, levelPosition(-83.44f), "-83.44"},
      {kFirstLevelIndex + 1, levelPosition(-200.0), "-200.00"},
      {kFirstLevelIndex + 2, levelPosition(-12.3f), "-12.30"},
      {kFirstMuteIndex, 0.5, "unmute"},
      {kFirstMuteIndex + 2, 2.5, "mute"},
      {kMasterLevelIndex, masterPosition(12.0), "12.00"},
      {kBusRoutingIndex, 1.0, "pass through all busses"},
  };
  for (const RestoredParameter& parameter : restored) {
    SCOPED_TRACE(::testing::Message() << "parameter " << parameter.index);
    EXPECT_NEAR(plugin.getParameter(parameter.index), parameter.position, kPositionTolerance);
    EXPECT_EQ(plugin.readText(effGetParamDisplay, kParameterDisplayLimit, parameter.index).text(),
              cutToLimit(parameter.display, kParameterDisplayLimit));
  }
  EXPECT_EQ(save(), savedChunkOf(values)) << "control value 9 travels too";

  load(chunkOf({kNaN, kInfinity}));
  EXPECT_TRUE(std::isnan(plugin.getParameter(kFirstLevelIndex)));
  EXPECT_EQ(plugin.getParameter(kFirstLevelIndex + 1), kInfinity);
}

struct RestoredMix {
  const char* what;
  std::vector<float> values;
  MixFactors mix;
  int mixUlps;
};

const RestoredMix kRestoredMixes[] = {
    {"NaN level silences pair 1", {kNaN, 0, 0, 0, 0, 0, 0, 1}, {{0, 1, 1}, {1, 1, 1}, 1, 1}, 0},
    {"infinite levels silence pairs 2 and 3",
     {0, kInfinity, -kInfinity, 0, 0, 0, 0, 0},
     {{1, 0, 0}, {1, 1, 1}, 1, 0},
     0},
    {"level of -200 dB", {0, -200, 0, 0, 0, 0, 0, 0}, {{1, 1e-10, 1}, {1, 1, 1}, 1, 0}, kGainUlps},
    {"mute of 0.5 halves pair 1", {0, 0, 0, 0.5, 0, 0, 0, 0}, {{1, 1, 1}, {0.5, 1, 1}, 1, 0}, 0},
    {"routing of 0.5 halves the busses",
     {0, 0, 0, 0, 0, 0, 0, 0.5f},
     {{1, 1, 1}, {1, 1, 1}, 1, 0.5},
     0},
    {"NaN routing silences the busses",
     {0, 0, 0, 0, 0, 0, 0, kNaN},
     {{1, 1, 1}, {1, 1, 1}, 1, 0},
     0},
};

TEST(RestoredState, DrivesTheMixAsStored) {
  for (const RestoredMix& restored : kRestoredMixes) {
    SCOPED_TRACE(restored.what);
    SwitchedOnInstance fresh;
    loadInto(fresh.plugin, chunkOf(restored.values));
    expectMix<double>(fresh.plugin, 64, restored.mix, restored.mixUlps);
  }
}

// The state every load below starts from, far from the defaults.
const std::vector<float> kBaseValues = {-83.5f, -40.0f, -12.0f, 1.0f, 0.0f, 1.0f, 3.0f, 1.0f};

std::vector<float> baseWithFirstLevel(float decibels) {
  std::vector<float> values = kBaseValues;
  values[0] = decibels;
  return values;
}

struct LoadCase {
  const char* what;
  Chunk chunk;
  std::vector<float> savedAfter;
};

TEST_F(StateTest, LoadsWhatAMarkedChunkHoldsAndIgnoresTheRest) {
  const Chunk strayBytes = {0x12, 0x34};
  const std::vector<float> seventy = countingValues(70);
  const Chunk whole = chunkOf(countingValues(kSavedValueCount));
  const LoadCase cases[] = {
      {"one value", chunkOf({-6.0f}), baseWithFirstLevel(-6.0f)},
      {"one value and two stray bytes", joined(chunkOf({-6.0f}), strayBytes),
       baseWithFirstLevel(-6.0f)},
      {"the marker and two stray bytes", joined(chunkOf({}), strayBytes), kBaseValues},
      {"seventy values, as a newer version may save", chunkOf(seventy),
       std::vector<float>(seventy.begin(), seventy.begin() + kSavedValueCount)},
      {"259 bytes: the last value cut short", cutTo(whole, kSavedChunkSize - 1),
       countingValues(kSavedValueCount - 1)},
      {"261 bytes: a stray byte after the last value", joined(whole, {0x5A}),
       countingValues(kSavedValueCount)},
      {"no marker", bytesOf({0.0f, -6.0f}), kBaseValues},
      {"NaN for a marker", bytesOf({kNaN, -6.0f}), kBaseValues},
      {"the marker in the wrong byte order", joined({0xC4, 0x7A, 0x00, 0x00}, bytesOf({-6.0f})),
       kBaseValues},
      {"three bytes of the marker", {0x00, 0x00, 0x7A}, kBaseValues},
      {"nothing", {}, kBaseValues},
  };
  for (const LoadCase& loadCase : cases) {
    SCOPED_TRACE(loadCase.what);
    load(savedChunkOf(kBaseValues));

    EXPECT_EQ(load(loadCase.chunk), static_cast<std::intptr_t>(loadCase.chunk.size()));
    EXPECT_EQ(save(), savedChunkOf(loadCase.savedAfter));
  }
}

TEST_F(StateTest, IgnoresNullLocationsAndNegativeSizes) {
  Chunk chunk = savedChunkOf(kBaseValues);
  load(chunk);

  const auto size = static_cast<std::intptr_t>(kSavedChunkSize);
  EXPECT_EQ(plugin.dispatch(effSetChunk, 0, size, nullptr), size);
  EXPECT_EQ(plugin.dispatch(effSetChunk, 0, -size, savedChunkOf({-6.0f}).data()), -size);
  EXPECT_EQ(plugin.dispatch(effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(save(), chunk);
}

TEST_F(StateTest, OnlyTheFirstLoadInitialises) {
  plugin.dispatch(effOpen);
  host.clearCalls();
  load(bytesOf({0.0f, -6.0f}));
  plugin.dispatch(effSetChunk, 0, 8, nullptr);
  EXPECT_TRUE(host.calls().empty()) << "an ignored chunk is no first load";

  load(chunkOf({-6.0f}));
  EXPECT_EQ(host.calls(), std::vector<HostCall>{timeRequest(&plugin.record(), kVstTempoValid)});

  host.clearCalls();
  load(chunkOf({-6.0f}));
  EXPECT_TRUE(host.calls().empty()) << "second load";

  plugin.dispatch(effMainsChanged, 0, 1);
  host.clearCalls();
  load(chunkOf({-6.0f}));
  EXPECT_TRUE(host.calls().empty()) << "load after switching on";
}

template <typename Sample>
void expectSameSound(PluginInstance& first, PluginInstance& second) {
  ChannelBuffers<Sample> firstInputs = testSignal<Sample>(256);
  ChannelBuffers<Sample> secondInputs = testSignal<Sample>(256);
  const ChannelSamples firstSound = samplesOf(processed(first, firstInputs));

  EXPECT_EQ(samplesOf(processed(second, secondInputs)), firstSound);
  EXPECT_NE(firstSound, samplesOf(ChannelBuffers<Sample>(kChannelCount, 256, Sample{})));
}

// Every value set here (-6, -83.5, +4.5 dB) is exact as a float, so the chunk
// carries it unchanged and the sound must match bit for bit.
TEST(StateRoundTrip, AnotherInstanceLoadsTheSameStateAndSound) {
  SwitchedOnInstance savingInstance;
  SwitchedOnInstance loadingInstance;
  PluginInstance& saving = savingInstance.plugin;
  PluginInstance& loading = loadingInstance.plugin;
  saving.setParameter(kFirstLevelIndex, static_cast<float>(levelPosition(-6.0)));
  saving.setParameter(kFirstLevelIndex + 1, 0.5f);
  saving.setParameter(kFirstMuteIndex + 2, 1.0f);
  saving.setParameter(kMasterLevelIndex, 0.75f);
  saving.setParameter(kBusRoutingIndex, 1.0f);

  const Chunk saved = saveFrom(saving);
  EXPECT_EQ(loadInto(loading, saved), static_cast<std::intptr_t>(kSavedChunkSize));
  EXPECT_EQ(saveFrom(loading), saved);
  expectSameSound<float>(saving, loading);
  expectSameSound<double>(saving, loading);
}

}  // namespace
