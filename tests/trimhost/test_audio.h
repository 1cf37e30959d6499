// Test audio written and read back with libsndfile.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <string>
#include <vector>

struct Audio {
  int channels = 0;
  int sampleRate = 48000;
  std::vector<float> samples;  // interleaved

  std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
  float at(std::size_t frame, int channel) const {
    return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
  }
  std::vector<float> channel(int index) const;
};

// A different tone and level on every channel, below full scale even when
// three channels are summed.
Audio testSignal(int channels, std::size_t frames);

void writeAudio(const std::string& path, const Audio& audio,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT);
// The file's samples as floats; a failed test when it cannot be read.
Audio readAudio(const std::string& path, int* format = nullptr);
