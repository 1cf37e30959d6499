// What the long and concurrent runs share: a workload size that a test run may
// lower, seeded randomness, and input blocks cut from a table of noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "plugin_host/channel_buffers.h"

// The count in the environment variable, or the fallback when the variable is
// unset or holds no positive number. Runs under sanitizers, valgrind or wine,
// where each step costs more, set a smaller one.
std::int64_t workloadFromEnvironment(const char* variable, std::int64_t fallback);

// The engine is fixed by the standard, so a seed repeats a run exactly.
using Random = std::mt19937;

// Both bounds included.
std::int32_t uniformInt(Random& random, std::int32_t lowest, std::int32_t highest);
double uniformReal(Random& random, double lowest, double highest);
bool chance(Random& random, double probability);

// Finite input samples, mostly between -1 and 1; a share of them exotic:
// denormals, and magnitudes up to the largest float.
class NoiseTable {
 public:
  NoiseTable(Random& random, double exoticShare);

  std::size_t anyOffset(Random& random) const;

  // Channels of frames read from the table from offset on, each channel from
  // its own place; the same samples for both sample types.
  template <typename Sample>
  ChannelBuffers<Sample> block(std::size_t channels, std::int32_t frames, std::size_t offset,
                               std::size_t misalignment = 0) const {
    ChannelBuffers<Sample> buffers(channels, frames, Sample{}, misalignment);
    buffers.fillWith(
        [&](std::size_t channel, std::int32_t frame) { return sampleAt(offset, channel, frame); });
    return buffers;
  }

 private:
  float sampleAt(std::size_t offset, std::size_t channel, std::int32_t frame) const;

  std::vector<float> samples_;
};
