#include "processing_cases.h"

#include <algorithm>
#include <iomanip>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

template <typename Sample>
void fillWithNoise(ChannelBuffers<Sample>& buffers) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> sample(-1.0, 1.0);
  buffers.fillWith([&](std::size_t, std::int32_t) { return sample(random); });
}

// Out of line, so a reference loop pays a call per block as the plugin does;
// the vectorised one is in a unit of its own.
template <typename Sample>
__attribute__((noinline)) void referenceBlock(const MixFactors& factors, Sample** inputs,
                                              Sample** outputs, std::int32_t frames) {
  referenceMix(factors, inputs, outputs, frames);
}

// As a host calls it: the function read from the record on every block.
void pluginBlock(AEffect& record, float** inputs, float** outputs, std::int32_t frames) {
  record.processReplacing(&record, inputs, outputs, frames);
}

void pluginBlock(AEffect& record, double** inputs, double** outputs, std::int32_t frames) {
  record.processDoubleReplacing(&record, inputs, outputs, frames);
}

template <typename Sample>
void referenceLoopBlock(Subject subject, const MixFactors& factors, Sample** inputs,
                        Sample** outputs, std::int32_t frames) {
  if (subject == Subject::reference) {
    referenceBlock(factors, inputs, outputs, frames);
  } else {
    vectorisedReferenceMix(factors, inputs, outputs, frames);
  }
}

// Noise, and on the first frames every channel at NaN, at both infinities,
// and at the largest and lowest sample, whose mixes leave the float range
// or overflow.
template <typename Sample>
ChannelBuffers<Sample> checkSignal(std::int32_t frames) {
  ChannelBuffers<Sample> signal(kChannelCount, frames, Sample{});
  fillWithNoise(signal);
  using Limits = std::numeric_limits<Sample>;
  const Sample extremes[] = {Limits::quiet_NaN(), Limits::infinity(), -Limits::infinity(),
                             Limits::max(), Limits::lowest()};
  for (std::int32_t frame = 0; frame < std::min<std::int32_t>(frames, 5); ++frame) {
    for (std::size_t channel = 0; channel < kChannelCount; ++channel)
      signal.at(channel, frame) = extremes[frame];
  }
  return signal;
}

template <typename Sample>
void checkReferenceLoop(Subject subject, const ControlSettings& settings, std::int32_t frames) {
  ChannelBuffers<Sample> inputs = checkSignal<Sample>(frames);
  ChannelBuffers<Sample> outputs(kChannelCount, frames, Sample{});
  const MixFactors factors = factorsFor(settings.controls);
  referenceLoopBlock(subject, factors, inputs.pointers(), outputs.pointers(), frames);
  std::vector<std::string> faults = strayOutputs(outputs, expectedOutputs(inputs, factors));
  if (const auto hit = outputs.firstGuardHit()) faults.push_back("wrote " + hit->describe());
  if (faults.empty()) return;
  throw std::runtime_error(std::string("the ") + nameOf(subject) + " loop departs from the mix " +
                           "reference (" + precisionName<Sample>() + ", " + settings.name + ", " +
                           std::to_string(frames) + " frames): " + faults.front());
}

// A frame, an odd count that leaves a vector loop a tail, and every block size.
template <typename Sample>
void checkReferenceLoops() {
  std::vector<std::int32_t> frameCounts = {1, 37};
  frameCounts.insert(frameCounts.end(), std::begin(kBlockSizes), std::end(kBlockSizes));
  for (const Subject subject : {Subject::reference, Subject::vectorised})
    for (const ControlSettings& settings : kSettingsCases)
      for (const std::int32_t frames : frameCounts)
        checkReferenceLoop<Sample>(subject, settings, frames);
}

}  // namespace

const char* pluginPathFrom(int argc, char** argv) {
  return argc > 1 ? argv[1] : TRIMIXER_PLUGIN_PATH;
}

std::unique_ptr<PluginLibrary> earlierLibraryFrom(int argc, char** argv,
                                                  const PluginLibrary& plugin) {
  if (argc <= 2) return nullptr;
  auto earlier = std::make_unique<PluginLibrary>(argv[2]);
  if (earlier->entryPoint("VSTPluginMain") == plugin.entryPoint("VSTPluginMain"))
    throw std::runtime_error(std::string("the loader gave the first plugin again for ") + argv[2]);
  return earlier;
}

void applySettings(PluginInstance& plugin, const ControlSettings& settings) {
  const ControlValues& controls = settings.controls;
  for (std::int32_t pair = 0; pair < kPairCount; ++pair) {
    const auto slot = static_cast<std::size_t>(pair);
    plugin.setParameter(kFirstLevelIndex + pair,
                        static_cast<float>(levelPosition(controls.levels[slot])));
    plugin.setParameter(kFirstMuteIndex + pair, static_cast<float>(positionOf(
                                                    kFirstMuteIndex + pair, controls.mutes[slot])));
  }
  plugin.setParameter(kMasterLevelIndex, static_cast<float>(masterPosition(controls.master)));
  plugin.setParameter(kBusRoutingIndex,
                      static_cast<float>(positionOf(kBusRoutingIndex, controls.routing)));
}

SwitchedOnInstance::SwitchedOnInstance(const PluginLibrary& library, std::int32_t blockSize)
    : HostedInstance(library.requiredEntryPoint("VSTPluginMain"), HostLog::dropped) {
  switchOn(plugin, blockSize);
}

const char* nameOf(Subject subject) {
  switch (subject) {
    case Subject::plugin:
      return "plugin";
    case Subject::reference:
      return "reference";
    case Subject::vectorised:
      return "vectorised";
  }
  return "?";
}

template <typename Sample>
ProcessingCase<Sample>::ProcessingCase(const PluginLibrary& library, std::int32_t blockSize,
                                       const ControlSettings& settings)
    : instance_(library, blockSize),
      factors_(factorsFor(settings.controls)),
      inputs_(kChannelCount, blockSize, Sample{}),
      outputs_(kChannelCount, blockSize, Sample{}) {
  applySettings(instance_.plugin, settings);
  fillWithNoise(inputs_);
}

template <typename Sample>
void ProcessingCase<Sample>::process(Subject subject) {
  Sample** inputs = inputs_.pointers();
  Sample** outputs = outputs_.pointers();
  if (subject == Subject::plugin) {
    pluginBlock(instance_.plugin.record(), inputs, outputs, frames());
    return;
  }
  referenceLoopBlock(subject, factors_, inputs, outputs, frames());
}

void checkReferenceLoops() {
  checkReferenceLoops<float>();
  checkReferenceLoops<double>();
}

void printTimesHeader(std::ostream& out, bool withEarlier) {
  out << std::left << std::setw(8) << "path" << std::setw(7) << "block" << std::setw(10)
      << "settings" << std::right << std::setw(11) << "plugin" << std::setw(11) << "reference"
      << std::setw(11) << "vectorised" << std::setw(9) << "p/ref" << std::setw(9) << "p/vec";
  if (withEarlier) out << std::setw(11) << "earlier" << std::setw(9) << "e/p";
  out << "   (ns per frame)\n";
}

void printTimesRow(std::ostream& out, const char* precision, std::int32_t block,
                   const char* settings, const CaseTimes& times) {
  std::ios format(nullptr);
  format.copyfmt(out);
  out << std::left << std::setw(8) << precision << std::setw(7) << block << std::setw(10)
      << settings << std::right << std::fixed << std::setprecision(3) << std::setw(11)
      << times.plugin << std::setw(11) << times.reference << std::setw(11) << times.vectorised
      << std::setprecision(2) << std::setw(9) << times.plugin / times.reference << std::setw(9)
      << times.plugin / times.vectorised;
  if (times.earlier > 0.0)
    out << std::setprecision(3) << std::setw(11) << times.earlier << std::setprecision(2)
        << std::setw(9) << times.earlier / times.plugin;
  out << '\n';
  out.copyfmt(format);
}

template class ProcessingCase<float>;
template class ProcessingCase<double>;
