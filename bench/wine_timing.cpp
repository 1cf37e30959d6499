// Times the 32-bit DLL's processing under wine beside the reference loops,
// built with the same compiler, where Google Benchmark is not at hand. Each
// case runs the plugin and both loops in turn, seven times over, and the
// DLL of an earlier build too when one is given; each time is the median of
// those runs. Times under wine are indicative; the ratios are the figure.
//
//   wine wine_timing.exe [PLUGIN [EARLIER_PLUGIN]]
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
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

template <typename Sample>
struct TimedSubject {
  ProcessingCase<Sample>* mix;
  Subject subject;
};

// The subjects take turns, so a slow spell of the machine falls on all of them.
template <typename Sample>
CaseTimes timeCase(ProcessingCase<Sample>& mix, ProcessingCase<Sample>* earlier) {
  std::vector<TimedSubject<Sample>> subjects;
  for (const Subject subject : kSubjects) subjects.push_back({&mix, subject});
  if (earlier != nullptr) subjects.push_back({earlier, Subject::plugin});
  std::vector<std::vector<double>> times(subjects.size());
  for (const auto& timed : subjects) nanosecondsPerFrame(*timed.mix, timed.subject);  // warm caches
  for (int run = 0; run < kRuns; ++run)
    for (std::size_t s = 0; s < subjects.size(); ++s)
      times[s].push_back(nanosecondsPerFrame(*subjects[s].mix, subjects[s].subject));
  CaseTimes result{median(times[0]), median(times[1]), median(times[2])};
  if (earlier != nullptr) result.earlier = median(times[3]);
  return result;
}

template <typename Sample>
void timeCases(const PluginLibrary& library, const PluginLibrary* earlierLibrary) {
  for (const std::int32_t block : kBlockSizes) {
    for (const ControlSettings& settings : kSettingsCases) {
      ProcessingCase<Sample> mix(library, block, settings);
      std::optional<ProcessingCase<Sample>> earlier;
      if (earlierLibrary != nullptr) earlier.emplace(*earlierLibrary, block, settings);
      printTimesRow(std::cout, precisionName<Sample>(), block, settings.name,
                    timeCase(mix, earlier ? &*earlier : nullptr));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3) {
    std::cerr << "usage: wine_timing [PLUGIN [EARLIER_PLUGIN]]\n";
    return 2;
  }
  try {
    checkReferenceLoops();
    const PluginLibrary library(pluginPathFrom(argc, argv));
    const std::unique_ptr<PluginLibrary> earlier = earlierLibraryFrom(argc, argv, library);
    std::cout << "Plugin against the reference loops, median of " << kRuns << " runs of "
              << kFramesPerRun << " frames\n";
    printTimesHeader(std::cout, earlier != nullptr);
    timeCases<float>(library, earlier.get());
    timeCases<double>(library, earlier.get());
  } catch (const std::exception& error) {
    std::cerr << "wine_timing: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
