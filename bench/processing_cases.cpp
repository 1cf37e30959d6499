#include "processing_cases.h"

#include <iomanip>
#include <random>

namespace {

template <typename Sample>
void fillWithNoise(ChannelBuffers<Sample>& buffers) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> sample(-1.0, 1.0);
  for (std::size_t c = 0; c < buffers.channels(); ++c)
    for (std::int32_t f = 0; f < buffers.frames(); ++f)
      buffers.at(c, f) = static_cast<Sample>(sample(random));
}

// Out of line, so a reference loop pays a call per block as the plugin does.
template <typename Sample>
__attribute__((noinline)) void referenceBlock(const MixFactors& factors, Sample** inputs,
                                              Sample** outputs, std::int32_t frames) {
  referenceMix(factors, inputs, outputs, frames);
}

template <typename Sample>
__attribute__((noinline)) void vectorisedBlock(const MixFactors& factors, Sample** inputs,
                                               Sample** outputs, std::int32_t frames) {
  vectorisableReferenceMix(factors, inputs, outputs, frames);
}

// As a host calls it: the function read from the record on every block.
void pluginBlock(AEffect& record, float** inputs, float** outputs, std::int32_t frames) {
  record.processReplacing(&record, inputs, outputs, frames);
}

void pluginBlock(AEffect& record, double** inputs, double** outputs, std::int32_t frames) {
  record.processDoubleReplacing(&record, inputs, outputs, frames);
}

}  // namespace

const char* pluginPathFrom(int argc, char** argv) {
  return argc > 1 ? argv[1] : TRIMIXER_PLUGIN_PATH;
}

float levelPosition(double decibels) { return static_cast<float>((decibels + 167.0) / 167.0); }

float masterPosition(double decibels) { return static_cast<float>((decibels + 9.0) / 18.0); }

void applySettings(PluginInstance& plugin, const ControlSettings& settings) {
  for (std::int32_t pair = 0; pair < 3; ++pair) {
    plugin.setParameter(kFirstLevel + pair, levelPosition(settings.levels[pair]));
    plugin.setParameter(kFirstMute + pair, static_cast<float>(settings.mutes[pair]));
  }
  plugin.setParameter(kMasterLevel, masterPosition(settings.master));
  plugin.setParameter(kBusRouting, static_cast<float>(settings.routing));
}

MixFactors factorsFor(const ControlSettings& settings) {
  return mixFactorsFor(settings.levels, settings.mutes, settings.master, settings.routing);
}

RecordingHost& withoutLog(RecordingHost& host) {
  host.keepLog(false);
  return host;
}

void switchOn(PluginInstance& plugin, std::int32_t blockSize) {
  plugin.dispatch(effOpen);
  plugin.dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
  plugin.dispatch(effSetBlockSize, 0, blockSize);
  plugin.dispatch(effMainsChanged, 0, 1);
}

SwitchedOnInstance::SwitchedOnInstance(const PluginLibrary& library, std::int32_t blockSize)
    : plugin_(withoutLog(host_), library.requiredEntryPoint("VSTPluginMain")) {
  switchOn(plugin_, blockSize);
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
      factors_(factorsFor(settings)),
      inputs_(kChannelCount, blockSize, Sample{}),
      outputs_(kChannelCount, blockSize, Sample{}) {
  applySettings(instance_.plugin(), settings);
  fillWithNoise(inputs_);
}

template <typename Sample>
void ProcessingCase<Sample>::process(Subject subject) {
  Sample** inputs = inputs_.pointers();
  Sample** outputs = outputs_.pointers();
  switch (subject) {
    case Subject::plugin:
      pluginBlock(instance_.plugin().record(), inputs, outputs, frames());
      break;
    case Subject::reference:
      referenceBlock(factors_, inputs, outputs, frames());
      break;
    case Subject::vectorised:
      vectorisedBlock(factors_, inputs, outputs, frames());
      break;
  }
}

void printTimesHeader(std::ostream& out) {
  out << std::left << std::setw(8) << "path" << std::setw(7) << "block" << std::setw(10)
      << "settings" << std::right << std::setw(11) << "plugin" << std::setw(11) << "reference"
      << std::setw(11) << "vectorised" << std::setw(9) << "p/ref" << std::setw(9) << "p/vec"
      << "   (ns per frame)\n";
}

void printTimesRow(std::ostream& out, const char* precision, std::int32_t block,
                   const char* settings, const CaseTimes& times) {
  std::ios format(nullptr);
  format.copyfmt(out);
  out << std::left << std::setw(8) << precision << std::setw(7) << block << std::setw(10)
      << settings << std::right << std::fixed << std::setprecision(3) << std::setw(11)
      << times.plugin << std::setw(11) << times.reference << std::setw(11) << times.vectorised
      << std::setprecision(2) << std::setw(9) << times.plugin / times.reference << std::setw(9)
      << times.plugin / times.vectorised << '\n';
  out.copyfmt(format);
}

template class ProcessingCase<float>;
template class ProcessingCase<double>;
