// Runs a fixed number of blocks through the plugin, as a host calls it, or
// through a reference loop, inside one function that callgrind counts
// (--toggle-collect='*measuredProcessing*'), at default settings.
//
//   frame_cost PLUGIN plugin|reference|vectorised float|double BLOCK BLOCKS
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>

#include "processing_cases.h"

namespace {

std::optional<Subject> subjectNamed(const char* name) {
  for (Subject subject : kSubjects)
    if (std::strcmp(nameOf(subject), name) == 0) return subject;
  return std::nullopt;
}

template <typename Sample>
__attribute__((noinline)) void measuredProcessing(ProcessingCase<Sample>& processing,
                                                  Subject subject, long blocks) {
  for (long block = 0; block < blocks; ++block) processing.process(subject);
}

template <typename Sample>
void run(const PluginLibrary& library, Subject subject, std::int32_t blockSize, long blocks) {
  ProcessingCase<Sample> processing(library, blockSize, kDefaultSettings);
  measuredProcessing(processing, subject, blocks);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Subject> subject = argc == 6 ? subjectNamed(argv[2]) : std::nullopt;
  if (!subject) {
    std::fprintf(
        stderr, "usage: frame_cost PLUGIN plugin|reference|vectorised float|double BLOCK BLOCKS\n");
    return 2;
  }
  try {
    checkReferenceLoops();
    const PluginLibrary library(argv[1]);
    const std::int32_t blockSize = std::atoi(argv[4]);
    const long blocks = std::atol(argv[5]);
    if (std::strcmp(argv[3], "double") == 0) {
      run<double>(library, *subject, blockSize, blocks);
    } else {
      run<float>(library, *subject, blockSize, blocks);
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "frame_cost: %s\n", error.what());
    return 1;
  }
}
