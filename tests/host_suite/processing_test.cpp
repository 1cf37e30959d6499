// Switching the instance on and off, and audio processing. With the default
// audio sections every input reaches its output unchanged, and every
// processing call asks the host for time information four times.

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "plugin_under_test.h"

namespace {

HostCall timeRequest(AEffect* effect, std::intptr_t mask) {
  return {effect, audioMasterGetTime, 0, mask, nullptr, 0.0f};
}

// Tempo and signature, playing, recording, position, in this order.
std::vector<HostCall> blockTimeRequests(AEffect* effect) {
  return {timeRequest(effect, kVstTempoValid | kVstTimeSigValid),
          timeRequest(effect, kVstTransportPlaying), timeRequest(effect, kVstTransportRecording),
          timeRequest(effect, kVstPpqPosValid)};
}

template <typename Sample>
ChannelBuffers<Sample> testSignal(std::int32_t frames) {
  ChannelBuffers<Sample> signal(kChannelCount, frames, Sample{});
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    for (std::int32_t frame = 0; frame < frames; ++frame) {
      signal.at(channel, frame) = static_cast<Sample>(0.125 * (channel + 1) - frame / 4096.0);
    }
  }
  return signal;
}

template <typename Sample>
void expectSameChannels(const ChannelBuffers<Sample>& actual,
                        const ChannelBuffers<Sample>& expected) {
  ASSERT_EQ(actual.channels(), expected.channels());
  for (std::size_t channel = 0; channel < expected.channels(); ++channel) {
    SCOPED_TRACE(::testing::Message() << "channel " << channel);
    EXPECT_EQ(actual.channel(channel), expected.channel(channel));
  }
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
                                            timeRequest(effect, kVstTempoValid)};
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
  void SetUp() override {
    plugin.dispatch(effOpen);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    plugin.dispatch(effSetBlockSize, 0, 512);
    plugin.dispatch(effMainsChanged, 0, 1);
    host.clearCalls();
  }
};

TEST_F(SwitchedOnTest, AccumulatingProcessChangesNoOutput) {
  ChannelBuffers<float> inputs = testSignal<float>(64);
  ChannelBuffers<float> outputs(kChannelCount, 64, 0.25f);
  plugin.processAccumulating(inputs, outputs);

  expectSameChannels(outputs, ChannelBuffers<float>(kChannelCount, 64, 0.25f));
  EXPECT_TRUE(outputs.guardsIntact());
  EXPECT_TRUE(host.calls().empty());
}

template <typename Sample>
class ProcessingTest : public SwitchedOnTest {
 protected:
  // Processes the test signal into fresh outputs and checks it arrives unchanged.
  void expectPassThrough(std::int32_t frames) {
    ChannelBuffers<Sample> inputs = testSignal<Sample>(frames);
    ChannelBuffers<Sample> outputs(kChannelCount, frames, Sample{0.25});
    this->plugin.process(inputs, outputs);

    expectSameChannels(outputs, testSignal<Sample>(frames));
    expectSameChannels(inputs, testSignal<Sample>(frames));
    EXPECT_TRUE(outputs.guardsIntact());
  }
};

struct SampleTypeName {
  template <typename Sample>
  static std::string GetName(int) {
    return std::is_same_v<Sample, float> ? "Float" : "Double";
  }
};

using SampleTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ProcessingTest, SampleTypes, SampleTypeName);

TYPED_TEST(ProcessingTest, PassesEveryInputThroughUnchanged) {
  for (std::int32_t frames : {0, 1, 64, 1000}) {
    SCOPED_TRACE(::testing::Message() << frames << " frames");
    this->expectPassThrough(frames);
  }
}

TYPED_TEST(ProcessingTest, ProcessesInPlace) {
  ChannelBuffers<TypeParam> buffers = testSignal<TypeParam>(256);
  this->plugin.process(buffers, buffers);

  expectSameChannels(buffers, testSignal<TypeParam>(256));
  EXPECT_TRUE(buffers.guardsIntact());
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

TYPED_TEST(ProcessingTest, PassesThroughWhateverTheHostTimeSays) {
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
    this->expectPassThrough(64);

    EXPECT_EQ(this->host.calls(), blockTimeRequests(&this->plugin.record()));
  }
}

}  // namespace
