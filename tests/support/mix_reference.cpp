#include "mix_reference.h"

#include <iomanip>
#include <sstream>

namespace {

double gainOf(double decibels) { return finiteOrZero(std::pow(10.0, decibels / 20.0)); }

// The first frame of a channel whose sample strays further than tolerance
// times the expected sample's magnitude; a message naming it, or none.
std::string firstStrayFrame(std::size_t channel, const std::vector<double>& actual,
                            const std::vector<double>& expected, double tolerance) {
  std::ostringstream stray;
  stray << std::setprecision(17) << "output " << channel + 1 << ": ";
  if (actual.size() != expected.size()) {
    stray << actual.size() << " frames, expected " << expected.size();
    return stray.str();
  }
  for (std::size_t frame = 0; frame < expected.size(); ++frame) {
    const double want = expected[frame];
    if (!(std::abs(actual[frame] - want) <= tolerance * std::abs(want))) {
      stray << "frame " << frame << " holds " << actual[frame] << ", expected " << want;
      return stray.str();
    }
  }
  return {};
}

}  // namespace

ControlValues controlValuesOf(const std::vector<double>& valuesFromOne) {
  const auto value = [&](std::int32_t index) {
    return valuesFromOne.at(static_cast<std::size_t>(index));
  };
  ControlValues controls;
  for (std::int32_t pair = 0; pair < kPairCount; ++pair) {
    controls.levels[static_cast<std::size_t>(pair)] = value(kFirstLevelIndex + pair);
    controls.mutes[static_cast<std::size_t>(pair)] = value(kFirstMuteIndex + pair);
  }
  controls.master = value(kMasterLevelIndex);
  controls.routing = value(kBusRoutingIndex);
  return controls;
}

MixFactors factorsFor(const ControlValues& controls) {
  MixFactors factors;
  for (std::size_t pair = 0; pair < factors.pairGain.size(); ++pair) {
    factors.pairGain[pair] = gainOf(controls.levels[pair]);
    factors.pairOn[pair] = finiteOrZero(1.0 - controls.mutes[pair]);
  }
  factors.masterGain = gainOf(controls.master);
  factors.busPass = finiteOrZero(controls.routing);
  return factors;
}

std::vector<std::string> strayOutputs(const ChannelSamples& actual, const ChannelSamples& expected,
                                      double epsilon, int mixUlps) {
  if (actual.size() != expected.size()) {
    return {std::to_string(actual.size()) + " output channels, expected " +
            std::to_string(expected.size())};
  }
  std::vector<std::string> strays;
  for (std::size_t channel = 0; channel < expected.size(); ++channel) {
    const double tolerance = channel < 2 ? mixUlps * epsilon : 0.0;
    std::string stray = firstStrayFrame(channel, actual[channel], expected[channel], tolerance);
    if (!stray.empty()) strays.push_back(std::move(stray));
  }
  return strays;
}
