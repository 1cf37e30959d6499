#include "runtime/block_loop.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "mix_reference.h"
#include "plugin_host/channel_buffers.h"
#include "recording_effect.h"

namespace {

// Doubles every channel and remembers what each frame carried in.
struct DoublingEffect : RecordingEffect {
  std::vector<double> seenChannel0;
  void sampleSection() override {
    RecordingEffect::sampleSection();
    seenChannel0.push_back(channels[0]);
    for (double& channel : channels) channel *= 2.0;
  }
};

// Channel i, frame j holds first + 10 i + j.
template <typename Sample>
ChannelBuffers<Sample> numbered(std::size_t channels, std::int32_t frames, Sample first) {
  ChannelBuffers<Sample> buffers(channels, frames, Sample{});
  buffers.fillWith([first](std::size_t channel, std::int32_t frame) {
    return first + static_cast<Sample>(10 * channel + static_cast<std::size_t>(frame));
  });
  return buffers;
}

TEST(BlockLoop, RunsTheBlockSectionOnceEvenForAnEmptyBlock) {
  DoublingEffect effect;
  ChannelBuffers<float> io = numbered<float>(6, 4, 1.0f);
  runBlock(effect, io.pointers(), io.pointers(), 0, 6);
  runBlock(effect, io.pointers(), io.pointers(), -5, 6);
  EXPECT_EQ(effect.blockRuns, 2);
  EXPECT_EQ(effect.sampleRuns, 0);
  EXPECT_EQ(io.at(0, 0), 1.0f);
  EXPECT_TRUE(io.guardsIntact());
}

TEST(BlockLoop, SixChannelsInPlaceCarryWhatTheSectionLeft) {
  DoublingEffect effect;
  ChannelBuffers<double> io = numbered<double>(6, 5, 0.25);
  runBlock(effect, io.pointers(), io.pointers(), 5, 6);
  EXPECT_EQ(effect.blockRuns, 1);
  EXPECT_EQ(effect.sampleRuns, 5);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_EQ(io.at(i, j), 2.0 * (0.25 + 10 * i + j));
  EXPECT_TRUE(io.guardsIntact());
  EXPECT_EQ(effect.seenChannel0, (std::vector<double>{0.25, 1.25, 2.25, 3.25, 4.25}));
}

TEST(BlockLoop, StereoMovesOnlyTwoChannels) {
  DoublingEffect effect;
  ChannelBuffers<float> in = numbered<float>(2, 3, 1.0f);
  ChannelBuffers<float> out = numbered<float>(3, 3, -7.0f);
  runBlock(effect, in.pointers(), out.pointers(), 3, 2);
  EXPECT_EQ(out.channel(0), (std::vector<float>{2, 4, 6}));
  EXPECT_EQ(out.channel(1), (std::vector<float>{22, 24, 26}));
  EXPECT_EQ(out.channel(2), (std::vector<float>{13, 14, 15}));  // untouched
  EXPECT_TRUE(out.guardsIntact());
}

TEST(BlockLoop, FloatPathRoundsEachOutputToFloat) {
  struct ThirdEffect : RecordingEffect {
    void sampleSection() override { channels[0] = 1.0 / 3.0; }
  } effect;
  ChannelBuffers<float> io(1, 1, 0.0f);
  runBlock(effect, io.pointers(), io.pointers(), 1, 1);
  EXPECT_EQ(io.at(0, 0), static_cast<float>(1.0 / 3.0));
}

TEST(BlockLoop, FloatPathWritesValuesBeyondTheFloatRangeAsTheLargestFloat) {
  struct LoudEffect : RecordingEffect {
    void sampleSection() override {
      channels[0] = 1e300;
      channels[1] = -3.5e38;
    }
  } effect;
  ChannelBuffers<float> floats(2, 1, 0.0f);
  runBlock(effect, floats.pointers(), floats.pointers(), 1, 2);
  EXPECT_EQ(floats.at(0, 0), std::numeric_limits<float>::max());
  EXPECT_EQ(floats.at(1, 0), -std::numeric_limits<float>::max());
  ChannelBuffers<double> doubles(2, 1, 0.0);
  runBlock(effect, doubles.pointers(), doubles.pointers(), 1, 2);
  EXPECT_EQ(doubles.at(0, 0), 1e300);
}

TEST(BlockLoop, NoChannelsStillRunsTheSectionPerFrame) {
  DoublingEffect effect;
  runBlock<float>(effect, nullptr, nullptr, 7, 0);
  EXPECT_EQ(effect.sampleRuns, 7);
}

TEST(BlockLoop, ChannelVariablesKeepTheirValuesBetweenBlocks) {
  DoublingEffect effect;
  effect.channels[10] = 3.0;
  ChannelBuffers<double> io = numbered<double>(2, 2, 1.0);
  runBlock(effect, io.pointers(), io.pointers(), 2, 2);
  runBlock(effect, io.pointers(), io.pointers(), 2, 2);
  EXPECT_EQ(effect.channels[10], 3.0 * 16);
}

TEST(BlockLoop, ChannelCountIsBoundedByTheChannelVariables) {
  EXPECT_EQ(boundedChannelCount(6), 6);
  EXPECT_EQ(boundedChannelCount(64), 64);
  EXPECT_EQ(boundedChannelCount(65), 64);
  EXPECT_EQ(boundedChannelCount(-3), 0);
}

// The processing callbacks cache the channel count on their first call in the
// process, and every instance uses it whatever pins it declares: two
// instances with different pin counts move the same channels.
struct PinnedEffect : DoublingEffect {
  explicit PinnedEffect(int pins = 6) { pinCount = pins; }
};
struct StereoPinnedEffect : PinnedEffect {
  StereoPinnedEffect() : PinnedEffect(2) {}
};

template <typename Sample, typename Process>
void expectSameChannelsMoved(Process process) {
  RecordingHost host;
  Instance<PinnedEffect> six(host);
  Instance<StereoPinnedEffect> two(host);
  ASSERT_EQ(two.record->numInputs, 2);
  ChannelBuffers<Sample> sixIo = numbered<Sample>(6, 2, 1);
  ChannelBuffers<Sample> twoIo = numbered<Sample>(6, 2, 1);
  process(six.record, sixIo.pointers());
  process(two.record, twoIo.pointers());
  EXPECT_EQ(samplesOf(sixIo), samplesOf(twoIo));
  EXPECT_EQ(twoIo.at(0, 1), 4);
}

TEST(ProcessingCallbacks, ShareTheChannelCountOfTheFirstCall) {
  expectSameChannelsMoved<float>(
      [](AEffect* record, float** io) { record->processReplacing(record, io, io, 2); });
  expectSameChannelsMoved<double>(
      [](AEffect* record, double** io) { record->processDoubleReplacing(record, io, io, 2); });
}

}  // namespace
