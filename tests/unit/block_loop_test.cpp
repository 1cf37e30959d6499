#include "runtime/block_loop.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

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

template <typename Sample>
struct Buffers {
  std::vector<std::vector<Sample>> data;
  std::vector<Sample*> pointers;
  Buffers(int channels, int frames, Sample first)
      : data(channels, std::vector<Sample>(frames)), pointers(channels) {
    for (int i = 0; i < channels; ++i) {
      for (int j = 0; j < frames; ++j) data[i][j] = first + static_cast<Sample>(10 * i + j);
      pointers[i] = data[i].data();
    }
  }
};

TEST(BlockLoop, RunsTheBlockSectionOnceEvenForAnEmptyBlock) {
  DoublingEffect effect;
  Buffers<float> io(6, 4, 1.0f);
  runBlock(effect, io.pointers.data(), io.pointers.data(), 0, 6);
  runBlock(effect, io.pointers.data(), io.pointers.data(), -5, 6);
  EXPECT_EQ(effect.blockRuns, 2);
  EXPECT_EQ(effect.sampleRuns, 0);
  EXPECT_EQ(io.data[0][0], 1.0f);
}

TEST(BlockLoop, SixChannelsInPlaceCarryWhatTheSectionLeft) {
  DoublingEffect effect;
  Buffers<double> io(6, 5, 0.25);
  runBlock(effect, io.pointers.data(), io.pointers.data(), 5, 6);
  EXPECT_EQ(effect.blockRuns, 1);
  EXPECT_EQ(effect.sampleRuns, 5);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_EQ(io.data[i][j], 2.0 * (0.25 + 10 * i + j));
  EXPECT_EQ(effect.seenChannel0, (std::vector<double>{0.25, 1.25, 2.25, 3.25, 4.25}));
}

TEST(BlockLoop, StereoMovesOnlyTwoChannels) {
  DoublingEffect effect;
  Buffers<float> in(2, 3, 1.0f);
  Buffers<float> out(3, 3, -7.0f);
  runBlock(effect, in.pointers.data(), out.pointers.data(), 3, 2);
  EXPECT_EQ(out.data[0], (std::vector<float>{2, 4, 6}));
  EXPECT_EQ(out.data[1], (std::vector<float>{22, 24, 26}));
  EXPECT_EQ(out.data[2], (std::vector<float>{13, 14, 15}));  // untouched
}

TEST(BlockLoop, FloatPathRoundsEachOutputToFloat) {
  struct ThirdEffect : RecordingEffect {
    void sampleSection() override { channels[0] = 1.0 / 3.0; }
  } effect;
  Buffers<float> io(1, 1, 0.0f);
  runBlock(effect, io.pointers.data(), io.pointers.data(), 1, 1);
  EXPECT_EQ(io.data[0][0], static_cast<float>(1.0 / 3.0));
}

TEST(BlockLoop, FloatPathWritesValuesBeyondTheFloatRangeAsTheLargestFloat) {
  struct LoudEffect : RecordingEffect {
    void sampleSection() override {
      channels[0] = 1e300;
      channels[1] = -3.5e38;
    }
  } effect;
  Buffers<float> floats(2, 1, 0.0f);
  runBlock(effect, floats.pointers.data(), floats.pointers.data(), 1, 2);
  EXPECT_EQ(floats.data[0][0], std::numeric_limits<float>::max());
  EXPECT_EQ(floats.data[1][0], -std::numeric_limits<float>::max());
  Buffers<double> doubles(2, 1, 0.0);
  runBlock(effect, doubles.pointers.data(), doubles.pointers.data(), 1, 2);
  EXPECT_EQ(doubles.data[0][0], 1e300);
}

TEST(BlockLoop, NoChannelsStillRunsTheSectionPerFrame) {
  DoublingEffect effect;
  runBlock<float>(effect, nullptr, nullptr, 7, 0);
  EXPECT_EQ(effect.sampleRuns, 7);
}

TEST(BlockLoop, ChannelVariablesKeepTheirValuesBetweenBlocks) {
  DoublingEffect effect;
  effect.channels[10] = 3.0;
  Buffers<double> io(2, 2, 1.0);
  runBlock(effect, io.pointers.data(), io.pointers.data(), 2, 2);
  runBlock(effect, io.pointers.data(), io.pointers.data(), 2, 2);
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
  FakeHost host;
  Instance<PinnedEffect> six;
  Instance<StereoPinnedEffect> two;
  ASSERT_EQ(two.record->numInputs, 2);
  Buffers<Sample> sixIo(6, 2, 1);
  Buffers<Sample> twoIo(6, 2, 1);
  process(six.record, sixIo.pointers.data());
  process(two.record, twoIo.pointers.data());
  EXPECT_EQ(sixIo.data, twoIo.data);
  EXPECT_EQ(twoIo.data[0][1], 4);
}

TEST(ProcessingCallbacks, ShareTheChannelCountOfTheFirstCall) {
  expectSameChannelsMoved<float>([](AEffect* record, float** io) {
    record->processReplacing(record, io, io, 2);
  });
  expectSameChannelsMoved<double>([](AEffect* record, double** io) {
    record->processDoubleReplacing(record, io, io, 2);
  });
}

}  // namespace
