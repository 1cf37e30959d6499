// Times the 32-bit DLL's processing under wine beside the reference loops,
// built with the same compiler and flags, where Google Benchmark is not at
// hand. Each case runs the plugin and both loops in turn, seven times over;
// each time is the median of those runs. Times under wine are indicative;
// the ratio is the figure.
//
//   wine wine_timing.exe [PLUGIN]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <iostream>
#include <iterator>
#include <vector>

#include "processing_cases.h"

namespace {

constexpr int kRuns = 7;
// About a million frames a run, whatever the block size.
constexpr long kFramesPerRun = 1L << 20;

template <typename Sample>
double nanosecondsPerFrame(ProcessingCase<Sample>& mix, Subject subject) {
  const long blocks = kFramesPerRun / mix.frames();
  const auto start = std::chrono::steady_clock::now();
  for (long b = 0; b < blocks; ++b) mix.process(subject);
  const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / static_cast<double>(blocks * mix.frames());
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The subjects take turns, so a slow spell of the machine falls on all three.
template <typename Sample>
CaseTimes timeCase(ProcessingCase<Sample>& mix) {
  std::array<std::vector<double>, std::size(kSubjects)> times;
  for (const Subject subject : kSubjects) nanosecondsPerFrame(mix, subject);  // warm caches
  for (int run = 0; run < kRuns; ++run)
    for (std::size_t s = 0; s < times.size(); ++s)
      times[s].push_back(nanosecondsPerFrame(mix, kSubjects[s]));
  return {median(times[0]), median(times[1]), median(times[2])};
}

template <typename Sample>
void timeCases(const PluginLibrary& library) {
  for (const std::int32_t block : kBlockSizes) {
    for (const ControlSettings& settings : kSettingsCases) {
      ProcessingCase<Sample> mix(library, block, settings);
      printTimesRow(std::cout, precisionName<Sample>(), block, settings.name, timeCase(mix));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::cerr << "usage: wine_timing [PLUGIN]\n";
    return 2;
  }
  try {
    checkReferenceLoops();
    const PluginLibrary library(pluginPathFrom(argc, argv));
    std::cout << "Plugin against the reference loops, median of " << kRuns << " runs of "
              << kFramesPerRun << " frames\n";
    printTimesHeader(std::cout);
    timeCases<float>(library);
    timeCases<double>(library);
  } catch (const std::exception& error) {
    std::cerr << "wine_timing: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
