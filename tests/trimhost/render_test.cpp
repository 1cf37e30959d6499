// trimhost render with our downmixer: the mix at several settings, both
// sample sizes, odd block sizes, channel mapping and output formats.
#include <algorithm>
#include <array>
#include <cmath>

#include "mix_reference.h"
#include "test_audio.h"
#include "trimhost_test.h"

namespace {

constexpr std::size_t kFrames = 1000;

class RenderTest : public TrimhostTest {
 protected:
  // Each render replaces the last one's output.
  ToolRun renderFile(const Audio& input, const std::vector<std::string>& options) {
    writeAudio(path("in.wav"), input);
    std::vector<std::string> arguments{"render", trimixer(), path("in.wav"), path("out.wav"),
                                       "--overwrite"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return run(arguments);
  }

  Audio render(const Audio& input, const std::vector<std::string>& options = {}) {
    const ToolRun result = renderFile(input, options);
    EXPECT_EQ(result.status, 0) << result.err;
    return readAudio(path("out.wav"));
  }
};

// Outputs 1 and 2 as the mix reference has them at these pair gains, master
// level 0 dB; inputs the file lacks are silent.
void expectMix(const Audio& in, const Audio& out, const std::array<double, 3>& gains) {
  MixFactors mix;
  mix.pairGain = gains;
  for (std::size_t frame = 0; frame < out.frames(); ++frame) {
    Frame inputs{};
    for (int channel = 0; channel < std::min<int>(in.channels, kChannelCount); ++channel)
      inputs[static_cast<std::size_t>(channel)] = in.at(frame, channel);
    const Frame expected = mixedFrame(mix, inputs);
    for (int side = 0; side < 2; ++side) {
      ASSERT_FLOAT_EQ(out.at(frame, side), hostSample<float>(expected[side]))
          << "output " << side + 1 << ", frame " << frame;
    }
  }
}

void expectSilent(const Audio& out, int channel) {
  for (float sample : out.channel(channel)) ASSERT_EQ(sample, 0.0f) << "output " << channel + 1;
}

TEST_F(RenderTest, DefaultsSumThePairsAndSilenceTheBusses) {
  const Audio in = testSignal(6, kFrames);
  const Audio out = render(in);
  ASSERT_EQ(out.channels, 6);
  ASSERT_EQ(out.frames(), kFrames);
  expectMix(in, out, {1.0, 1.0, 1.0});
  for (int channel = 2; channel < 6; ++channel) expectSilent(out, channel);
}

TEST_F(RenderTest, LevelInDecibelsMuteAndPassThrough) {
  const Audio in = testSignal(6, kFrames);
  const ToolRun result =
      renderFile(in, {"--set", "level stereo 2=-6", "--set", "mute stereo 3=mute", "--set",
                      "busses silent after mixer=pass through all busses"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("set: 1 level stereo 2 = -6.00 dB"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("set: 7 busses silent after mixer = pass th (normalised 1; 'pass "
                            "through all busses' taken as 'pass th', a display the plugin cut "
                            "short)\n"),
            std::string::npos);
  const Audio out = readAudio(path("out.wav"));
  expectMix(in, out, {1.0, kGainMinus6dB, 0.0});
  for (int channel = 2; channel < 6; ++channel)
    EXPECT_EQ(out.channel(channel), in.channel(channel));
}

TEST_F(RenderTest, SetNormalisedTakesTheHostsValue) {
  const ToolRun result =
      renderFile(testSignal(6, kFrames), {"--set-normalised", "1=0.5", "--set-normalised",
                                          "master level=0", "--set", "LEVEL STEREO 3=0 dB"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("set: 1 level stereo 2 = -83.50 dB (normalised 0.5)"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("set: 6 master level = -9.00 dB (normalised 0)"), std::string::npos);
  EXPECT_NE(result.out.find("set: 2 level stereo 3 = 0.00 dB (normalised 1)"), std::string::npos);
}

TEST_F(RenderTest, PlainNumbersAreInTheParametersUnits) {
  const std::vector<std::pair<std::string, std::string>> printed{
      {"master level=1", "set: 6 master level = 1.00 dB (normalised "},
      {"level stereo 1=0", "set: 0 level stereo 1 = 0.00 dB (normalised "},
      {"busses silent after mixer=PASS TH",
       "set: 7 busses silent after mixer = pass th (normalised 1)\n"}};
  std::vector<std::string> options;
  for (const auto& [assignment, line] : printed)
    options.insert(options.end(), {"--set", assignment});
  const ToolRun result = renderFile(testSignal(6, kFrames), options);
  ASSERT_EQ(result.status, 0) << result.err;
  for (const auto& [assignment, line] : printed)
    EXPECT_NE(result.out.find(line), std::string::npos) << assignment << " in\n" << result.out;
}

TEST_F(RenderTest, SetAndSetNormalisedApplyInTheirOrder) {
  const Audio in = testSignal(6, kFrames);
  const struct {
    std::vector<std::string> options;
    double gain;
  } orders[] = {
      {{"--set", "level stereo 1=-6", "--set-normalised", "level stereo 1=1"}, 1.0},
      {{"--set-normalised", "level stereo 1=1", "--set", "level stereo 1=-6"}, kGainMinus6dB}};
  for (const auto& order : orders) {
    SCOPED_TRACE(order.options.front());
    expectMix(in, render(in, order.options), {order.gain, 1.0, 1.0});
  }
}

TEST_F(RenderTest, DoublePrecisionAndAnyBlockSizeGiveTheSameMix) {
  const Audio in = testSignal(6, kFrames);
  const std::vector<float> reference = render(in, {"--set", "level stereo 1=-6"}).samples;
  const std::vector<std::vector<std::string>> variants{
      {"--double", "--transport", "playing", "--tempo", "90", "--time-signature", "3/4"},
      {"--block", "1"},
      {"--block", "7"},
      {"--block", "999"},
      {"--block", "4096"}};
  for (std::vector<std::string> options : variants) {
    SCOPED_TRACE(options.front() + " " + options[1]);
    options.insert(options.end(), {"--set", "level stereo 1=-6"});
    EXPECT_EQ(render(in, options).samples, reference);
  }
}

TEST_F(RenderTest, MissingInputsAreSilent) {
  const Audio in = testSignal(4, kFrames);
  const Audio out = render(in, {"--set-normalised", "busses silent after mixer=1"});
  expectMix(in, out, {1.0, 1.0, 1.0});
  EXPECT_EQ(out.channel(2), in.channel(2));
  EXPECT_EQ(out.channel(3), in.channel(3));
  expectSilent(out, 4);
  expectSilent(out, 5);
}

TEST_F(RenderTest, SurplusInputChannelsNeedDropExtra) {
  const Audio in = testSignal(8, kFrames);
  const ToolRun refused = renderFile(in, {});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("has 8 channels, the plugin takes 6; --drop-extra"), std::string::npos)
      << refused.err;
  EXPECT_EQ(files(), std::vector<std::string>{"in.wav"});
  expectMix(in, render(in, {"--drop-extra"}), {1.0, 1.0, 1.0});
}

// The channels listed, in that order, of the first FRAMES frames.
Audio picked(const Audio& from, const std::vector<int>& channels, std::size_t frames) {
  Audio audio;
  audio.channels = static_cast<int>(channels.size());
  for (std::size_t frame = 0; frame < frames; ++frame)
    for (int channel : channels) audio.samples.push_back(from.at(frame, channel));
  return audio;
}

// Merged files and a map feed the plugin as one file of those channels
// does, bit for bit; a shorter file is padded with silence, and says so.
TEST_F(RenderTest, MergedAndMappedInputsMixAsOneFileOfTheirChannels) {
  const Audio six = testSignal(6, kFrames);
  Audio cut = six;
  for (std::size_t frame = kFrames / 2; frame < kFrames; ++frame)
    for (std::size_t channel : {4, 5}) cut.samples[frame * 6 + channel] = 0.0f;
  const Audio pair1 = picked(six, {0, 1}, kFrames);
  const Audio pair2 = picked(six, {2, 3}, kFrames);
  const struct {
    std::vector<Audio> inputs;
    std::vector<std::string> options;
    Audio sameAs;
    std::string line;
  } rows[] = {
      {{pair1, pair2, picked(six, {4, 5}, kFrames)}, {"--merge"}, six, "in:  6 channel(s)"},
      {{pair1, pair2, picked(six, {4, 5}, kFrames / 2)},
       {"--merge"},
       cut,
       "padded with silence to the longest input: " + path("in3.wav") + " (500 frames)\n"},
      {{picked(six, {0}, kFrames)}, {"--map", "1,1"}, picked(six, {0, 0}, kFrames), "in:  1 "},
      {{picked(six, {0}, kFrames), picked(six, {2}, kFrames), picked(six, {4}, kFrames)},
       {"--merge", "--map", "1,1,2,2,3,3"},
       picked(six, {0, 0, 2, 2, 4, 4}, kFrames),
       "in:  3 "}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    std::vector<std::string> arguments{"render", trimixer()};
    for (std::size_t file = 0; file < row.inputs.size(); ++file) {
      arguments.push_back(path("in" + std::to_string(file + 1) + ".wav"));
      writeAudio(arguments.back(), row.inputs[file]);
    }
    arguments.insert(arguments.end(), {path("merged.wav"), "--overwrite"});
    arguments.insert(arguments.end(), row.options.begin(), row.options.end());
    const ToolRun merged = run(arguments);
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_NE(merged.out.find(row.line), std::string::npos) << merged.out;
    EXPECT_EQ(readAudio(path("merged.wav")).samples, render(row.sameAs).samples);
  }
}

TEST_F(RenderTest, OutputsKeepsTheFirstChannels) {
  const Audio in = testSignal(6, kFrames);
  const Audio out = render(in, {"--outputs", "2"});
  ASSERT_EQ(out.channels, 2);
  expectMix(in, out, {1.0, 1.0, 1.0});
}

TEST_F(RenderTest, FixedPointOutputWarnsWhenItClips) {
  const Audio in = testSignal(6, kFrames);
  const ToolRun clipped = renderFile(in, {"--set", "master level=9", "--format", "pcm16"});
  ASSERT_EQ(clipped.status, 0) << clipped.err;
  EXPECT_NE(clipped.err.find("warning: output channel 1 peaks at +"), std::string::npos)
      << clipped.err;
  EXPECT_NE(clipped.err.find("clipped to full scale in Signed 16 bit PCM"), std::string::npos);
  int format = 0;
  const Audio out = readAudio(path("out.wav"), &format);
  EXPECT_EQ(format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
  for (float sample : out.samples) ASSERT_LE(std::fabs(sample), 1.0f);

  const ToolRun floating = renderFile(in, {"--set", "master level=9"});
  ASSERT_EQ(floating.status, 0) << floating.err;
  EXPECT_EQ(floating.err, "");
  const std::vector<float> left = readAudio(path("out.wav")).channel(0);
  EXPECT_GT(*std::max_element(left.begin(), left.end()), 1.0f);
}

TEST_F(RenderTest, SummaryListsThePeaksBeforeAndAfter) {
  Audio in;
  in.channels = 2;
  in.samples = {0.5f, -0.25f, 0.0f, 0.0f};
  const ToolRun result = renderFile(in, {});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("in:  2 channel(s), 48000 Hz, 32 bit float, peak dBFS -6.02 -12.04\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(
      result.out.find(
          "out: 6 channel(s), 32 bit float, peak dBFS -6.02 -12.04 -inf -inf -inf -inf (2 frames"),
      std::string::npos)
      << result.out;
}

}  // namespace
