// Runs a fixed number of blocks through the plugin, as a host calls it, or
// through the reference loops, inside one function that callgrind counts
// (--toggle-collect='*measuredProcessing*').
//
//   frame_cost PLUGIN plugin|reference|vectorised float|double BLOCK BLOCKS
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>

#include "plugin_instance.h"
#include "plugin_library.h"
#include "recording_host.h"
#include "reference_mix.h"

namespace {

template <typename Sample>
void fillWithNoise(ChannelBuffers<Sample>& buffers) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> sample(-1.0, 1.0);
  for (std::size_t c = 0; c < buffers.channels(); ++c)
    for (std::int32_t f = 0; f < buffers.frames(); ++f) buffers.at(c, f) = static_cast<Sample>(sample(random));
}

template <typename Sample, typename Process>
__attribute__((noinline)) void measuredProcessing(Process& process, ChannelBuffers<Sample>& in,
                                                 ChannelBuffers<Sample>& out, long blocks) {
  for (long b = 0; b < blocks; ++b) process(in.pointers(), out.pointers(), in.frames());
}

template <typename Sample>
int run(PluginInstance& plugin, const std::string& subject, std::int32_t block, long blocks) {
  ChannelBuffers<Sample> in(6, block, Sample{});
  ChannelBuffers<Sample> out(6, block, Sample{});
  fillWithNoise(in);
  const MixFactors factors;
  auto viaPlugin = [&](Sample** i, Sample** o, std::int32_t n) {
    if constexpr (std::is_same_v<Sample, float>) {
      plugin.record().processReplacing(&plugin.record(), i, o, n);
    } else {
      plugin.record().processDoubleReplacing(&plugin.record(), i, o, n);
    }
  };
  auto viaReference = [&](Sample** i, Sample** o, std::int32_t n) { referenceMix(factors, i, o, n); };
  auto viaVectorised = [&](Sample** i, Sample** o, std::int32_t n) {
    vectorisableReferenceMix(factors, i, o, n);
  };
  if (subject == "plugin") {
    measuredProcessing(viaPlugin, in, out, blocks);
  } else if (subject == "reference") {
    measuredProcessing(viaReference, in, out, blocks);
  } else if (subject == "vectorised") {
    measuredProcessing(viaVectorised, in, out, blocks);
  } else {
    std::fprintf(stderr, "frame_cost: unknown subject %s\n", subject.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: frame_cost PLUGIN plugin|reference|vectorised float|double BLOCK BLOCKS\n");
    return 2;
  }
  try {
    PluginLibrary library(argv[1]);
    RecordingHost host;
    host.keepLog(false);
    PluginInstance plugin(host, library.requiredEntryPoint("VSTPluginMain"));
    plugin.dispatch(effOpen);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    const std::int32_t block = std::atoi(argv[4]);
    plugin.dispatch(effSetBlockSize, 0, block);
    plugin.dispatch(effMainsChanged, 0, 1);
    const long blocks = std::atol(argv[5]);
    const std::string precision = argv[3];
    return precision == "double" ? run<double>(plugin, argv[2], block, blocks)
                                 : run<float>(plugin, argv[2], block, blocks);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "frame_cost: %s\n", error.what());
    return 1;
  }
}
