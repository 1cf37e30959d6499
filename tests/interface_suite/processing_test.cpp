// Switching the instance on and off, and audio processing: the three pairs
// mixed into outputs 1 and 2, outputs 3 to 6 silenced or passed through, and
// four requests for time information per processing call.

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "mix_expectations.h"
#include "plugin_under_test.h"

namespace {

std::vector<HostCall> blockTimeRequests(AEffect* effect) {
  std::vector<HostCall> requests;
  for (std::intptr_t mask : kBlockTimeRequestMasks) requests.push_back(timeRequest(effect, mask));
  return requests;
}

using SwitchingTest = HostedPluginTest;

TEST_F(SwitchingTest, SwitchingOnWantsMidiBeforeAskingForTheTempo) {
  AEffect* effect = &plugin.record();
  plugin.dispatch(effOpen);
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(::testing::Message() << "switched on " << round << " times");
    host.clearCalls();
    plugin.dispatch(effMainsChanged, 0, 1);
    const std::vector<HostCall> expected = {{effect, audioMasterWantMidi, 0, 1, nullptr, 0.0f},
                                            timeRequest(effect, kInitialisationTimeRequestMask)};
    EXPECT_EQ(host.calls(), expected);
    plugin.dispatch(effMainsChanged, 0, 0);
  }
}

TEST_F(SwitchingTest, SwitchingOffCallsNothing) {
  plugin.dispatch(effMainsChanged, 0, 1);
  host.clearCalls();
  plugin.dispatch(effMainsChanged, 0, 0);

  EXPECT_TRUE(host.calls().empty());
}

class SwitchedOnTest : public HostedPluginTest {
 protected:
  void SetUp() override { switchOn(plugin, host); }
};

TEST_F(SwitchedOnTest, AccumulatingProcessChangesNoOutput) {
  ChannelBuffers<float> inputs = testSignal<float>(64);
  ChannelBuffers<float> outputs(kChannelCount, 64, 0.25f);
  plugin.processAccumulating(inputs, outputs);

  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    EXPECT_EQ(outputs.channel(channel), std::vector<float>(64, 0.25f));
  }
  EXPECT_TRUE(intactGuards(outputs));
  EXPECT_TRUE(host.calls().empty());
}

template <typename Sample>
class ProcessingTest : public SwitchedOnTest {};

struct SampleTypeName {
  template <typename Sample>
  static std::string GetName(int) {
    return std::is_same_v<Sample, float> ? "Float" : "Double";
  }
};

using SampleTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ProcessingTest, SampleTypes, SampleTypeName);

TYPED_TEST(ProcessingTest, SumsThePairsAndSilencesTheBussesAtTheDefaults) {
  for (std::int32_t frames : {0, 1, 64, 1000}) {
    SCOPED_TRACE(::testing::Message() << frames << " frames");
    expectMix<TypeParam>(this->plugin, frames, MixFactors{});
  }
}

struct ParameterChange {
  std::int32_t index;
  double position;
};

struct MixCase {
  const char* what;
  std::vector<ParameterChange> changes;
  MixFactors mix;
  int mixUlps;
};

const double kMutedPosition = positionOf(kFirstMuteIndex, kMuted);
const double kPassThroughPosition = positionOf(kBusRoutingIndex, kBussesPassed);

const MixCase kMixCases[] = {
    {"pair 2 muted, busses passed through",
     {{kFirstMuteIndex + 1, kMutedPosition}, {kBusRoutingIndex, kPassThroughPosition}},
     {{1, 1, 1}, {1, 0, 1}, 1, 1},
     0},
    {"pair 1 at -6 dB",
     {{kFirstLevelIndex, levelPosition(-6.0)}},
     {{kGainMinus6dB, 1, 1}, {1, 1, 1}, 1, 0},
     kGainUlps},
    {"pair 3 alone at -167 dB",
     {{kFirstMuteIndex, kMutedPosition},
      {kFirstMuteIndex + 1, kMutedPosition},
      {kFirstLevelIndex + 2, levelPosition(-167.0)}},
     {{1, 1, kGainMinus167dB}, {0, 0, 1}, 1, 0},
     kGainUlps},
    {"master at +9 dB",
     {{kMasterLevelIndex, masterPosition(9.0)}},
     {{1, 1, 1}, {1, 1, 1}, kGainPlus9dB, 0},
     kGainUlps},
    {"master at -9 dB",
     {{kMasterLevelIndex, masterPosition(-9.0)}},
     {{1, 1, 1}, {1, 1, 1}, kGainMinus9dB, 0},
     kGainUlps},
    {"every control moved, busses passed through",
     {{kFirstLevelIndex, levelPosition(-6.0)},
      {kFirstLevelIndex + 1, levelPosition(-167.0)},
      {kFirstMuteIndex + 2, kMutedPosition},
      {kMasterLevelIndex, masterPosition(9.0)},
      {kBusRoutingIndex, kPassThroughPosition}},
     {{kGainMinus6dB, kGainMinus167dB, 1}, {1, 1, 0}, kGainPlus9dB, 1},
     kGainUlps},
};

TYPED_TEST(ProcessingTest, FollowsLevelsMutesMasterAndRouting) {
  for (const MixCase& mixCase : kMixCases) {
    SCOPED_TRACE(mixCase.what);
    SwitchedOnInstance fresh;
    for (const ParameterChange& change : mixCase.changes) {
      fresh.plugin.setParameter(change.index, static_cast<float>(change.position));
    }
    expectMix<TypeParam>(fresh.plugin, 256, mixCase.mix, mixCase.mixUlps);
  }
}

TYPED_TEST(ProcessingTest, TreatsNonFiniteInputSamplesAsSilence) {
  this->plugin.setParameter(kBusRoutingIndex, 1.0f);
  ChannelBuffers<TypeParam> inputs = testSignal<TypeParam>(8);
  const TypeParam infinity = std::numeric_limits<TypeParam>::infinity();
  inputs.at(0, 1) = std::numeric_limits<TypeParam>::quiet_NaN();
  inputs.at(3, 2) = infinity;
  inputs.at(4, 2) = -infinity;
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    inputs.at(channel, 5) = infinity;
  }
  const ChannelBuffers<TypeParam> outputs = processed(this->plugin, inputs);

  expectOutputs(outputs, expectedOutputs(inputs, kBussesPassedThrough));
}

TYPED_TEST(ProcessingTest, WritesSumsAboveFullScaleAsTheyAre) {
  ChannelBuffers<TypeParam> inputs(kChannelCount, 16, TypeParam{0.75});
  const ChannelBuffers<TypeParam> outputs = processed(this->plugin, inputs);

  EXPECT_EQ(outputs.channel(0), std::vector<TypeParam>(16, TypeParam{2.25}));
  EXPECT_EQ(outputs.channel(1), std::vector<TypeParam>(16, TypeParam{2.25}));
}

TYPED_TEST(ProcessingTest, ProcessesInPlace) {
  this->plugin.setParameter(kBusRoutingIndex, 1.0f);
  ChannelBuffers<TypeParam> buffers = testSignal<TypeParam>(256);
  this->plugin.process(buffers, buffers);

  expectOutputs(buffers, expectedOutputs(testSignal<TypeParam>(256), kBussesPassedThrough));
  EXPECT_TRUE(intactGuards(buffers));
}

// Hosts may hand out parts of larger buffers, whose starts lie off the
// alignment the allocator gives, and inputs and outputs aligned differently.
struct BufferPlacement {
  const char* what;
  std::size_t inputMisalignment;
  std::size_t outputMisalignment;
};

const BufferPlacement kPlacements[] = {
    {"inputs one sample off", 1, 0},
    {"outputs one sample off", 0, 1},
    {"both one sample off", 1, 1},
    {"inputs three and outputs two samples off", 3, 2},
};

TYPED_TEST(ProcessingTest, MixesBuffersThatStartOffTheirAlignment) {
  this->plugin.setParameter(kBusRoutingIndex, static_cast<float>(kPassThroughPosition));
  for (const BufferPlacement& placement : kPlacements) {
    SCOPED_TRACE(placement.what);
    ChannelBuffers<TypeParam> inputs = testSignal<TypeParam>(61, placement.inputMisalignment);
    const ChannelBuffers<TypeParam> outputs =
        processed(this->plugin, inputs, placement.outputMisalignment);

    expectOutputs(outputs, expectedOutputs(inputs, kBussesPassedThrough));
  }
}

TYPED_TEST(ProcessingTest, ProcessesMisalignedBuffersInPlace) {
  this->plugin.setParameter(kBusRoutingIndex, static_cast<float>(kPassThroughPosition));
  ChannelBuffers<TypeParam> buffers = testSignal<TypeParam>(61, 1);
  this->plugin.process(buffers, buffers);

  expectOutputs(buffers, expectedOutputs(testSignal<TypeParam>(61), kBussesPassedThrough));
  EXPECT_TRUE(intactGuards(buffers));
}

TYPED_TEST(ProcessingTest, WritesSilenceWhenOpenedButNotYetSwitchedOn) {
  RecordingHost openedHost;
  PluginInstance opened(openedHost, vstPluginMain());
  opened.dispatch(effOpen);

  expectMix<TypeParam>(opened, 64, kSilence);
}

TYPED_TEST(ProcessingTest, AsksForTimeFourTimesPerCall) {
  for (std::int32_t frames : {0, 1, 64, 1000}) {
    SCOPED_TRACE(::testing::Message() << frames << " frames");
    this->host.clearCalls();
    ChannelBuffers<TypeParam> buffers = testSignal<TypeParam>(frames);
    this->plugin.process(buffers, buffers);

    EXPECT_EQ(this->host.calls(), blockTimeRequests(&this->plugin.record()));
  }
}

HostTimeInfo playingAndRecordingInThreeFour() {
  HostTimeInfo time;
  time.flags = kVstTransportPlaying | kVstTransportRecording;
  time.tempo = 90.0;
  time.timeSigNumerator = 3;
  time.ppqPosition = 17.5;
  return time;
}

HostTimeInfo nonsenseTime() {
  HostTimeInfo time;
  time.tempo = std::numeric_limits<double>::quiet_NaN();
  time.ppqPosition = std::numeric_limits<double>::infinity();
  time.timeSigDenominator = 0;
  return time;
}

struct HostTimeSituation {
  const char* what;
  bool provided;
  HostTimeInfo time;
};

TYPED_TEST(ProcessingTest, MixesAlikeWhateverTheHostTimeSays) {
  const HostTimeSituation situations[] = {
      {"no time information", false, HostTimeInfo{}},
      {"playing and recording", true, playingAndRecordingInThreeFour()},
      {"nonsense values", true, nonsenseTime()},
  };
  for (const HostTimeSituation& situation : situations) {
    SCOPED_TRACE(situation.what);
    this->host.provideTimeInfo(situation.provided);
    this->host.timeInfo() = situation.time;
    this->host.clearCalls();
    expectMix<TypeParam>(this->plugin, 64, MixFactors{});

    EXPECT_EQ(this->host.calls(), blockTimeRequests(&this->plugin.record()));
  }
}

}  // namespace
