#include "stress_support.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr std::size_t kNoiseSamples = 1 << 16;
// Channels read the table this far apart, so no two carry the same samples.
constexpr std::size_t kChannelStride = 7919;

float exoticSample(Random& random) {
  const float sign = chance(random, 0.5) ? 1.0f : -1.0f;
  if (chance(random, 0.25)) return sign * std::numeric_limits<float>::denorm_min();
  if (chance(random, 0.1)) return sign * std::numeric_limits<float>::max();
  return sign * static_cast<float>(std::pow(10.0, uniformReal(random, -38.0, 38.0)));
}

}  // namespace

std::int64_t workloadFromEnvironment(const char* variable, std::int64_t fallback) {
  const char* text = std::getenv(variable);
  if (text == nullptr) return fallback;
  char* end = nullptr;
  const long long count = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && count > 0 ? count : fallback;
}

std::int32_t uniformInt(Random& random, std::int32_t lowest, std::int32_t highest) {
  return std::uniform_int_distribution<std::int32_t>(lowest, highest)(random);
}

double uniformReal(Random& random, double lowest, double highest) {
  return std::uniform_real_distribution<double>(lowest, highest)(random);
}

bool chance(Random& random, double probability) {
  return std::bernoulli_distribution(probability)(random);
}

NoiseTable::NoiseTable(Random& random, double exoticShare) : samples_(kNoiseSamples) {
  for (float& sample : samples_) {
    sample = chance(random, exoticShare) ? exoticSample(random)
                                         : static_cast<float>(uniformReal(random, -1.0, 1.0));
  }
}

std::size_t NoiseTable::anyOffset(Random& random) const {
  return static_cast<std::size_t>(
      uniformInt(random, 0, static_cast<std::int32_t>(kNoiseSamples - 1)));
}

float NoiseTable::sampleAt(std::size_t offset, std::size_t channel, std::int32_t frame) const {
  const std::size_t position = offset + channel * kChannelStride + static_cast<std::size_t>(frame);
  return samples_[position % samples_.size()];
}
