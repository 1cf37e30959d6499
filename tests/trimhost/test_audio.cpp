#include "test_audio.h"

#include <gtest/gtest.h>

#include <cmath>

std::vector<float> Audio::channel(int index) const {
  std::vector<float> values;
  for (std::size_t frame = 0; frame < frames(); ++frame) values.push_back(at(frame, index));
  return values;
}

Audio testSignal(int channels, std::size_t frames) {
  Audio audio;
  audio.channels = channels;
  for (std::size_t frame = 0; frame < frames; ++frame)
    for (int channel = 0; channel < channels; ++channel)
      audio.samples.push_back(static_cast<float>(
          (0.3 - 0.03 * channel) *
          std::sin(0.01 * (channel + 1) * static_cast<double>(frame) + channel)));
  return audio;
}

void writeAudio(const std::string& path, const Audio& audio, int format) {
  SF_INFO info{};
  info.channels = audio.channels;
  info.samplerate = audio.sampleRate;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const auto frames = static_cast<sf_count_t>(audio.frames());
  EXPECT_EQ(sf_writef_float(file, audio.samples.data(), frames), frames);
  sf_close(file);
}

Audio readAudio(const std::string& path, int* format) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  Audio audio;
  if (file == nullptr) {
    ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
    return audio;
  }
  audio.channels = info.channels;
  audio.sampleRate = info.samplerate;
  audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  EXPECT_EQ(sf_readf_float(file, audio.samples.data(), info.frames), info.frames);
  sf_close(file);
  if (format != nullptr) *format = info.format;
  return audio;
}
