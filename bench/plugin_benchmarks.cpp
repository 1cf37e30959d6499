// The plugin's costs as a host meets them, measured with Google Benchmark
// through its entry point and record:
//
//   process/PATH/BLOCK/SETTINGS/SUBJECT  one block of six channels by the plugin,
//                                        by a reference loop on the same buffers,
//                                        or by an earlier build's plugin ("earlier")
//   control/setParameter                 one call that changes a level
//   state/save                           effGetChunk
//   state/load                           effSetChunk of a 260-byte chunk
//
// Afterwards it prints, per processing case, the plugin's time as a multiple
// of each reference loop's (and of the earlier build's, when given), and what
// the plugin allocates on the heap.
//
//   plugin_benchmarks [benchmark options] [PLUGIN [EARLIER_PLUGIN]]
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "heap_counter.h"
#include "processing_cases.h"

namespace {

constexpr std::int32_t kControlBlockSize = 256;
constexpr char kSecondsPerFrame[] = "s/frame";
constexpr char kEarlier[] = "earlier";

std::string processingName(const char* precision, std::int32_t block, const char* settings,
                           const char* subject) {
  return std::string("process/") + precision + "/" + std::to_string(block) + "/" + settings + "/" +
         subject;
}

template <typename Sample>
void benchmarkProcessing(benchmark::State& state, const PluginLibrary& library, std::int32_t block,
                         const ControlSettings& settings, Subject subject) {
  ProcessingCase<Sample> mix(library, block, settings);
  for (auto _ : state) mix.process(subject);
  const double frames = static_cast<double>(state.iterations()) * block;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters[kSecondsPerFrame] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <typename Sample>
void registerProcessingCase(const char* subjectName, const PluginLibrary& library,
                            std::int32_t block, const ControlSettings& settings, Subject subject) {
  const std::string name =
      processingName(precisionName<Sample>(), block, settings.name, subjectName);
  benchmark::RegisterBenchmark(
      name.c_str(), [&library, block, &settings, subject](benchmark::State& state) {
        benchmarkProcessing<Sample>(state, library, block, settings, subject);
      });
}

// The earlier build runs as the plugin of a case of its own.
template <typename Sample>
void registerProcessing(const PluginLibrary& library, const PluginLibrary* earlier) {
  for (const std::int32_t block : kBlockSizes) {
    for (const ControlSettings& settings : kSettingsCases) {
      for (const Subject subject : kSubjects)
        registerProcessingCase<Sample>(nameOf(subject), library, block, settings, subject);
      if (earlier != nullptr)
        registerProcessingCase<Sample>(kEarlier, *earlier, block, settings, Subject::plugin);
    }
  }
}

// Level stereo 1 at -6 dB and at 0 dB in turn, so that every call changes
// the value and runs the plugin's control section.
class AlternatingLevel {
 public:
  explicit AlternatingLevel(PluginInstance& plugin) : record_(plugin.record()) {}

  void set() {
    record_.setParameter(&record_, kFirstLevelIndex, positions_[next_]);
    next_ ^= 1;
  }

 private:
  AEffect& record_;
  const float positions_[2] = {static_cast<float>(levelPosition(-6.0)),
                               static_cast<float>(levelPosition(0.0))};
  std::size_t next_ = 0;
};

// The size of the save; data points at the plugin's own bytes.
std::intptr_t saveChunk(PluginInstance& plugin, void*& data) {
  return plugin.dispatch(effGetChunk, 0, 0, &data);
}

// A copy of the save, as a host keeps it.
Chunk chunkSavedAt(const PluginLibrary& library, const ControlSettings& settings) {
  SwitchedOnInstance instance(library, kControlBlockSize);
  applySettings(instance.plugin, settings);
  return saveFrom(instance.plugin);
}

// The saves of a fresh instance and of one with every control changed, loaded
// in turn, so that every load changes the controls.
class AlternatingChunks {
 public:
  AlternatingChunks(const PluginLibrary& library, PluginInstance& plugin)
      : plugin_(plugin),
        chunks_{chunkSavedAt(library, kDefaultSettings),
                chunkSavedAt(library, kEveryControlChanged)} {}

  bool haveSavedSize() const {
    return chunks_[0].size() == kSavedChunkSize && chunks_[1].size() == kSavedChunkSize;
  }

  void load() {
    Chunk& chunk = chunks_[next_];
    plugin_.dispatch(effSetChunk, 0, static_cast<std::intptr_t>(chunk.size()), chunk.data());
    next_ ^= 1;
  }

 private:
  PluginInstance& plugin_;
  Chunk chunks_[2];
  std::size_t next_ = 0;
};

void benchmarkSetParameter(benchmark::State& state, const PluginLibrary& library) {
  SwitchedOnInstance instance(library, kControlBlockSize);
  AlternatingLevel level(instance.plugin);
  for (auto _ : state) level.set();
}

void benchmarkSave(benchmark::State& state, const PluginLibrary& library) {
  SwitchedOnInstance instance(library, kControlBlockSize);
  void* data = nullptr;
  if (saveChunk(instance.plugin, data) != static_cast<std::intptr_t>(kSavedChunkSize)) {
    state.SkipWithError("the plugin does not save 260 bytes");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(saveChunk(instance.plugin, data));
}

void benchmarkLoad(benchmark::State& state, const PluginLibrary& library) {
  SwitchedOnInstance instance(library, kControlBlockSize);
  AlternatingChunks chunks(library, instance.plugin);
  if (!chunks.haveSavedSize()) {
    state.SkipWithError("the plugin does not save 260 bytes");
    return;
  }
  for (auto _ : state) chunks.load();
}

void registerBenchmarks(const PluginLibrary& library, const PluginLibrary* earlier) {
  registerProcessing<float>(library, earlier);
  registerProcessing<double>(library, earlier);
  const auto withLibrary = [&library](void (*measure)(benchmark::State&, const PluginLibrary&)) {
    return [&library, measure](benchmark::State& state) { measure(state, library); };
  };
  benchmark::RegisterBenchmark("control/setParameter", withLibrary(benchmarkSetParameter));
  benchmark::RegisterBenchmark("state/save", withLibrary(benchmarkSave));
  benchmark::RegisterBenchmark("state/load", withLibrary(benchmarkLoad));
}

// Shows every report as the display reporter chosen on the command line does,
// and keeps each processing run's CPU time per frame for the ratios.
class RatioReporter : public benchmark::BenchmarkReporter {
 public:
  explicit RatioReporter(benchmark::BenchmarkReporter& display) : display_(display) {}

  bool ReportContext(const Context& context) override { return display_.ReportContext(context); }

  void ReportRuns(const std::vector<Run>& runs) override {
    display_.ReportRuns(runs);
    for (const Run& run : runs) keep(run);
  }

  void Finalize() override { display_.Finalize(); }

  // Nanoseconds; zero for a case the filter left out.
  double nanosecondsPerFrame(const std::string& name) const {
    const auto found = secondsPerFrame_.find(name);
    return found != secondsPerFrame_.end() ? found->second * 1e9 : 0.0;
  }

 private:
  // A repeated benchmark's median replaces its single runs.
  void keep(const Run& run) {
    const auto counter = run.counters.find(kSecondsPerFrame);
    if (run.error_occurred || counter == run.counters.end()) return;
    const std::string name = run.run_name.str();
    if (run.run_type == Run::RT_Aggregate) {
      if (run.aggregate_name == "median") secondsPerFrame_[name] = counter->second.value;
    } else {
      secondsPerFrame_.try_emplace(name, counter->second.value);
    }
  }

  benchmark::BenchmarkReporter& display_;
  std::map<std::string, double> secondsPerFrame_;
};

template <typename Sample>
void printRatioRows(std::ostream& out, const RatioReporter& reporter) {
  for (const std::int32_t block : kBlockSizes) {
    for (const ControlSettings& settings : kSettingsCases) {
      const auto timeOf = [&](const char* subject) {
        return reporter.nanosecondsPerFrame(
            processingName(precisionName<Sample>(), block, settings.name, subject));
      };
      const CaseTimes times{timeOf(nameOf(Subject::plugin)), timeOf(nameOf(Subject::reference)),
                            timeOf(nameOf(Subject::vectorised)), timeOf(kEarlier)};
      if (times.plugin > 0.0 && times.reference > 0.0 && times.vectorised > 0.0)
        printTimesRow(out, precisionName<Sample>(), block, settings.name, times);
    }
  }
}

void printRatios(std::ostream& out, const RatioReporter& reporter, bool withEarlier) {
  out << "\nPlugin against the reference loops, CPU time per frame (the median when repeated)\n";
  printTimesHeader(out, withEarlier);
  printRatioRows<float>(out, reporter);
  printRatioRows<double>(out, reporter);
}

void printHeapLine(std::ostream& out, const std::string& what, const HeapCount& use) {
  out << std::left << std::setw(46) << what << std::right << std::setw(8) << use.bytesAllocated
      << " bytes in " << std::setw(3) << use.allocations << " allocations, " << std::setw(8)
      << use.bytesLive << " held afterwards\n";
}

// The first call often allocates what later calls reuse.
template <typename Action>
void printFirstAndLaterHeapUse(std::ostream& out, const std::string& what, Action&& action) {
  printHeapLine(out, what + ", first", heapUseOf(action));
  printHeapLine(out, what + ", again", heapUseOf(action));
}

PluginEntryProc entryUnderMeasurement = nullptr;
HeapCount entryHeapUse;

// Stands in for the plugin's entry point, so that the count holds what the
// plugin allocates and not the host's bookkeeping of the new record.
AEffect* VST_CALL countingEntry(audioMasterCallback host) {
  AEffect* record = nullptr;
  entryHeapUse = heapUseOf([&] { record = entryUnderMeasurement(host); });
  return record;
}

void printInstanceHeapUse(std::ostream& out, const PluginLibrary& library) {
  entryUnderMeasurement = library.requiredEntryPoint("VSTPluginMain");
  HostedInstance counted(countingEntry, HostLog::dropped);
  const HeapCount switchingOn = heapUseOf([&] { switchOn(counted.plugin, kControlBlockSize); });
  printHeapLine(out, "instance: VSTPluginMain", entryHeapUse);
  printHeapLine(out, "instance: open, sample rate, block size, resume", switchingOn);
  out << "instance: " << entryHeapUse.bytesLive + switchingOn.bytesLive
      << " bytes held while switched on (effClose not counted)\n";
}

template <typename Sample>
void printProcessingHeapUse(std::ostream& out, const PluginLibrary& library) {
  ProcessingCase<Sample> mix(library, kControlBlockSize, kEveryControlChanged);
  printFirstAndLaterHeapUse(out, std::string("process ") + precisionName<Sample>() + ", 256 frames",
                            [&] { mix.process(Subject::plugin); });
}

void printHeapUse(std::ostream& out, const PluginLibrary& library) {
  out << "\nHeap use by the plugin (operator new and delete; held: not yet given back)\n";
  // The benchmark library has allocated by now, unless a tool such as
  // valgrind took operator new over from heap_counter.cpp.
  if (heapCount().allocations == 0) {
    out << "not counted: another allocator replaced operator new\n";
    return;
  }
  printInstanceHeapUse(out, library);
  SwitchedOnInstance saving(library, kControlBlockSize);
  void* saved = nullptr;
  printFirstAndLaterHeapUse(out, "chunk save", [&] { saveChunk(saving.plugin, saved); });
  SwitchedOnInstance loading(library, kControlBlockSize);
  AlternatingChunks chunks(library, loading.plugin);
  printFirstAndLaterHeapUse(out, "chunk load (260 bytes)", [&] { chunks.load(); });
  SwitchedOnInstance controlled(library, kControlBlockSize);
  AlternatingLevel level(controlled.plugin);
  printFirstAndLaterHeapUse(out, "setParameter", [&] { level.set(); });
  printProcessingHeapUse<float>(out, library);
  printProcessingHeapUse<double>(out, library);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc > 3) {
    std::cerr << "usage: plugin_benchmarks [benchmark options] [PLUGIN [EARLIER_PLUGIN]]\n";
    return 2;
  }
  try {
    checkReferenceLoops();
    const PluginLibrary library(pluginPathFrom(argc, argv));
    const std::unique_ptr<PluginLibrary> earlier = earlierLibraryFrom(argc, argv, library);
    registerBenchmarks(library, earlier.get());
    // The library keeps the reporter it makes.
    benchmark::BenchmarkReporter* display = benchmark::CreateDefaultDisplayReporter();
    RatioReporter reporter(*display);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // JSON or CSV on standard output stays whole.
    std::ostream& out =
        dynamic_cast<benchmark::ConsoleReporter*>(display) != nullptr ? std::cout : std::cerr;
    printRatios(out, reporter, earlier != nullptr);
    printHeapUse(out, library);
  } catch (const std::exception& error) {
    std::cerr << "plugin_benchmarks: " << error.what() << '\n';
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
