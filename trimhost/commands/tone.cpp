#include "trimhost/commands/tone.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "trimhost/audio/audio_writer.h"
#include "trimhost/safety/output_file.h"
#include "trimhost/settings/text_match.h"

namespace {

// Channel k (from 0) sounds at 110·(k + 2) Hz with amplitude 0.5 − 0.05·k,
// so both its pitch and its peak tell it apart.
constexpr double kBaseFrequency = 110.0;
constexpr double kFirstAmplitude = 0.5;
constexpr double kAmplitudeStep = 0.05;
constexpr double kMinimumAmplitude = 0.05;
constexpr std::int64_t kBlockFrames = 4096;

double amplitudeOf(int channel) {
  return std::fmax(kMinimumAmplitude, kFirstAmplitude - kAmplitudeStep * channel);
}

void fillBlock(const ToneOptions& options, std::int64_t first, std::int64_t frames,
               std::vector<double>& samples) {
  const double twoPi = 2.0 * std::acos(-1.0);
  for (std::int64_t frame = 0; frame < frames; ++frame) {
    const double time = static_cast<double>(first + frame) / options.sampleRate;
    for (int channel = 0; channel < options.channels; ++channel) {
      const double frequency = kBaseFrequency * (channel + 2);
      samples[static_cast<std::size_t>(frame * options.channels + channel)] =
          static_cast<float>(amplitudeOf(channel) * std::sin(twoPi * frequency * time));
    }
  }
}

// The source the output's format is chosen from: WAV of 32-bit float, so
// that a name without an extension is a WAV file.
SF_INFO toneSource(const ToneOptions& options) {
  SF_INFO source{};
  source.channels = options.channels;
  source.samplerate = options.sampleRate;
  source.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  return source;
}

}  // namespace

void runTone(const ToneOptions& options) {
  OutputFile file(options.output, options.existingOutput);
  const auto frames = static_cast<std::int64_t>(std::llround(options.seconds * options.sampleRate));
  const SF_INFO info =
      planOutput(toneSource(options), options.channels, frames, options.format, file);
  AudioWriter writer(file, info);
  std::vector<double> block(static_cast<std::size_t>(kBlockFrames * options.channels));
  for (std::int64_t first = 0; first < frames; first += kBlockFrames) {
    const std::int64_t count = std::min(kBlockFrames, frames - first);
    fillBlock(options, first, count, block);
    writer.write(block.data(), count);
  }
  writer.close();
  file.commit();
  std::printf("wrote %s: %d channel(s), %d Hz, %s, %s\n", options.output.c_str(), options.channels,
              options.sampleRate, sampleFormatName(info.format).c_str(),
              counted(frames, "frame").c_str());
}
