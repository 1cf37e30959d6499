// CTovraSamples: the sample channel variables that carry one frame through the
// per-sample section, and the sections the block loop runs.
#pragma once

#include <array>

#include "runtime/tovra_sliders.h"

constexpr int kSampleChannelCount = 64;

class CTovraSamples : public CTovraSliders {
 public:
  virtual void blockSection() {}
  virtual void sampleSection() {}

  // Channel i of the current frame; values persist between frames and blocks.
  std::array<double, kSampleChannelCount> channels{};
};
