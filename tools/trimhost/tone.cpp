#include "tone.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "audio_file.h"
#include "temporary_file.h"

namespace {

// Channel k (from 0) sounds at 110·(k + 2) Hz with amplitude 0.5 − 0.05·k,
// so both its pitch and its peak tell it apart.
constexpr double kBaseFrequency = 110.0;
constexpr double kFirstAmplitude = 0.5;
constexpr double kAmplitudeStep = 0.05;
constexpr double kMinimumAmplitude = 0.05;

double amplitudeOf(int channel) {
  return std::fmax(kMinimumAmplitude, kFirstAmplitude - kAmplitudeStep * channel);
}

std::vector<float> toneFrames(const ToneOptions& options, sf_count_t frames) {
  const double twoPi = 2.0 * std::acos(-1.0);
  std::vector<float> samples(static_cast<std::size_t>(frames * options.channels));
  for (sf_count_t frame = 0; frame < frames; ++frame) {
    const double time = static_cast<double>(frame) / options.sampleRate;
    for (int channel = 0; channel < options.channels; ++channel) {
      const double frequency = kBaseFrequency * (channel + 2);
      samples[static_cast<std::size_t>(frame * options.channels + channel)] =
          static_cast<float>(amplitudeOf(channel) * std::sin(twoPi * frequency * time));
    }
  }
  return samples;
}

}  // namespace

void runTone(const ToneOptions& options) {
  SF_INFO info{};
  info.channels = options.channels;
  info.samplerate = options.sampleRate;
  // WAV unless the file's extension names another container.
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  info.format = outputFormat(info, options.output, SampleFormat::Float32);
  const auto frames = static_cast<sf_count_t>(std::llround(options.seconds * options.sampleRate));
  TemporaryFile file(options.output);
  AudioWriter writer(file.descriptor(), info);
  writer.write(toneFrames(options, frames).data(), frames);
  writer.close();
  file.commit();
  std::printf("wrote %s: %d channel(s), %d Hz, %lld frames\n", options.output.c_str(),
              options.channels, options.sampleRate, static_cast<long long>(frames));
}
