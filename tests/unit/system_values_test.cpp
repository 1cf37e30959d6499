#include "runtime/system_values.h"

#include <gtest/gtest.h>

#include <limits>

#include "downmixer_view.h"
#include "recording_effect.h"

namespace {

struct SixPinEffect : RecordingEffect {
  SixPinEffect() { pinCount = 6; }
};

class SystemValuesTest : public ::testing::Test {
 protected:
  RecordingHost host;
  Instance<SixPinEffect> instance{host};
  SystemValues values;

  SystemValuesTest() {
    host.timeInfo().tempo = 120.0;
    host.timeInfo().timeSigNumerator = 3;
    host.timeInfo().timeSigDenominator = 4;
    host.timeInfo().ppqPosition = 17.5;
    host.timeInfo().flags = kVstTransportPlaying | kVstTransportRecording;
    host.clearCalls();
  }
};

TEST_F(SystemValuesTest, BlockPreambleAsksForTimeFourTimesInOrder) {
  values.perBlockValues = {3.0, 4.0};
  values.blockPreamble(instance.shell);
  EXPECT_EQ(host.timeRequestMasks(), std::vector<std::intptr_t>(kBlockTimeRequestMasks.begin(),
                                                                kBlockTimeRequestMasks.end()));
  EXPECT_EQ(host.calls().size(), 4u);
  EXPECT_EQ(values.tempo.script, 120.0);
  EXPECT_EQ(values.timeSignatureNumerator.script, 3.0);
  EXPECT_EQ(values.timeSignatureDenominator.script, 4.0);
  EXPECT_EQ(values.playState, 5.0);
  EXPECT_EQ(values.playPosition, 17.5);
  EXPECT_EQ(values.perBlockValues[0], 0.0);
  EXPECT_EQ(values.perBlockValues[1], 0.0);
}

TEST_F(SystemValuesTest, PlayStateCombinesPlayingAndRecording) {
  const std::pair<std::int32_t, double> cases[] = {
      {0, 0.0},
      {kVstTransportPlaying, 1.0},
      {kVstTransportRecording, 4.0},
      {kVstTransportPlaying | kVstTransportRecording, 5.0}};
  for (const auto& [flags, state] : cases) {
    host.timeInfo().flags = flags;
    values.blockPreamble(instance.shell);
    EXPECT_EQ(values.playState, state) << flags;
  }
}

TEST_F(SystemValuesTest, NonFiniteHostValuesAreStoredAsZero) {
  host.timeInfo().tempo = std::numeric_limits<double>::infinity();
  host.timeInfo().ppqPosition = std::numeric_limits<double>::quiet_NaN();
  values.blockPreamble(instance.shell);
  EXPECT_EQ(values.tempo.maintained(), 0.0);
  EXPECT_EQ(values.tempo.script, 0.0);
  EXPECT_EQ(values.playPosition, 0.0);
}

TEST_F(SystemValuesTest, WithoutTimeInformationTempoAndSignatureKeepTheirValues) {
  values.blockPreamble(instance.shell);
  host.provideTimeInfo(false);
  values.blockPreamble(instance.shell);
  EXPECT_EQ(values.tempo.script, 120.0);
  EXPECT_EQ(values.timeSignatureNumerator.script, 3.0);
  EXPECT_EQ(values.playState, 0.0);
  EXPECT_EQ(values.playPosition, 0.0);
}

TEST_F(SystemValuesTest, InitialisationPreambleReadsTheShell) {
  instance.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  instance.dispatch(effSetBlockSize, 0, 256);
  values.timeSignatureNumerator.maintain(7.0);
  values.initialisationPreamble(instance.shell);
  EXPECT_EQ(values.sampleRate.maintained(), 48000.0);
  EXPECT_EQ(values.sampleRate.script, 48000.0);
  EXPECT_EQ(values.channelCount.script, 6.0);
  EXPECT_EQ(values.blockSize.script, 256.0);
  EXPECT_EQ(values.tempo.script, 120.0);
  EXPECT_EQ(values.timeSignatureNumerator.script, 7.0);
  EXPECT_EQ(host.timeRequestMasks(), std::vector<std::intptr_t>{kInitialisationTimeRequestMask});
}

TEST_F(SystemValuesTest, RefreshRestoresScriptCopiesOverwrittenBySectionCode) {
  values.initialisationPreamble(instance.shell);
  values.sampleRate.script = 1.0;
  values.refreshScriptCopies();
  EXPECT_EQ(values.sampleRate.script, 44100.0);
}

}  // namespace
