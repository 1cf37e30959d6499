// Writes the seed corpus of both fuzz targets into the directory given on the
// command line (fuzz/corpus in the repository):
//   state_load/     saved states: fresh, every control changed, values that
//                   are not finite, cut to 0, 3, 4, 8 and 131 bytes, 300
//                   bytes long, and one without the marker;
//   host_sequence/  host action sequences: switching on and processing,
//                   parameters with a save and loads, text queries, chunk
//                   loads from bytes, and every opcode once.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "downmixer_view.h"
#include "host_sequence_encoding.h"
#include "hosted_instance.h"
#include "state_chunks.h"

namespace {

using Bytes = Chunk;

Bytes prefix(const Bytes& bytes, std::size_t count) {
  return {bytes.begin(), bytes.begin() + count};
}

Bytes textBytes(const std::string& text) { return {text.begin(), text.end()}; }

void write(const std::filesystem::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

Bytes everyControlChanged() {
  Bytes chunk = savedChunkOf({-12.3f, -83.5f, -167.0f, 1.0f, 1.0f, 1.0f, 6.5f, 1.0f, 0.25f});
  const Bytes lastValue = bytesOf({-3.0f});
  std::copy(lastValue.begin(), lastValue.end(), chunk.end() - 4);
  return chunk;
}

void writeStateLoadSeeds(const std::filesystem::path& directory) {
  const Bytes changed = everyControlChanged();
  write(directory / "fresh", savedChunkOf({}));
  write(directory / "every_control_changed", changed);
  for (std::size_t length : {0, 3, 4, 8, 131})
    write(directory / ("cut_to_" + std::to_string(length)), prefix(changed, length));
  Bytes overlong = changed;
  const Bytes extra = bytesOf(std::vector<float>(10, 2.0f));
  overlong.insert(overlong.end(), extra.begin(), extra.end());
  write(directory / "overlong_300", overlong);
  Bytes unmarked = changed;
  std::fill_n(unmarked.begin(), sizeof(float), 0);
  write(directory / "unmarked", unmarked);
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  write(directory / "not_finite",
        savedChunkOf({std::numeric_limits<float>::quiet_NaN(), kInfinity, -kInfinity, kInfinity,
                      0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), -kInfinity}));
}

void switchOn(SequenceWriter& steps) {
  steps.dispatch(effOpen);
  steps.dispatch(effSetSampleRate, 0, 0, kSampleRate);
  steps.dispatch(effSetBlockSize, 0, kBlockSize);
  steps.dispatch(effMainsChanged, 0, 1);
}

Bytes switchOnProcessOff() {
  SequenceWriter steps;
  switchOn(steps);
  steps.processFloat(512, 0, 0.5f);
  steps.processDouble(512, kProcessInPlace, 0.25);
  steps.processFloat(64, kProcessAccumulating, 1.0f);
  steps.processDouble(33, kProcessMisaligned, 0.5);
  steps.processFloat(33, kProcessMisaligned | kProcessInPlace, 0.5f);
  steps.processFloat(0, 0, 1.0f);
  steps.dispatch(effMainsChanged, 0, 0);
  return steps.bytes();
}

Bytes parametersSaveLoad() {
  SequenceWriter steps;
  switchOn(steps);
  const float positions[kParameterCount] = {0.3f, 0.6f, 0.9f, 1.0f, 0.0f, 1.0f, 0.75f, 1.0f};
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    steps.setParameter(index, positions[index]);
    steps.getParameter(index);
  }
  steps.setParameter(-1, 0.5f);
  steps.setParameter(kParameterCount, 0.5f);
  steps.setParameter(0, std::numeric_limits<float>::quiet_NaN());
  steps.setParameter(6, std::numeric_limits<float>::infinity());
  steps.dispatch(effGetChunk);
  steps.setParameter(0, 0.1f);
  steps.loadLiveSave();
  steps.loadSavedCopy();
  steps.processFloat(128, 0, 1.0f);
  return steps.bytes();
}

Bytes textQueries() {
  SequenceWriter steps;
  for (std::int32_t index : {-1, kFirstLevelIndex, kFirstMuteIndex, kMasterLevelIndex,
                             kBusRoutingIndex, kParameterCount}) {
    steps.dispatch(effGetParamName, index);
    steps.dispatch(effGetParamLabel, index);
    steps.dispatch(effGetParamDisplay, index);
  }
  for (std::int32_t opcode :
       {effGetEffectName, effGetVendorString, effGetProductString, effGetProgramName})
    steps.dispatch(opcode);
  steps.dispatch(effSetProgramName, 0, 0, 0.0f,
                 textBytes("a program name of forty characters long."));
  steps.dispatch(effGetProgramName);
  steps.dispatch(effCanDo, 0, 0, 0.0f, textBytes("receiveVstMidiEvent"));
  steps.dispatch(effCanDo, 0, 0, 0.0f, textBytes("bypass"));
  return steps.bytes();
}

Bytes chunkLoads() {
  SequenceWriter steps;
  switchOn(steps);
  const Bytes changed = everyControlChanged();
  steps.dispatch(effSetChunk, 0, 0, 0.0f, changed);
  steps.processFloat(256, 0, 1.0f);
  steps.dispatch(effSetChunk, 1, 0, 0.0f, prefix(changed, 8));
  steps.processDouble(256, kProcessInPlace, 1.0);
  steps.dispatch(effGetChunk, 1);
  return steps.bytes();
}

Bytes everyOpcodeOnce() {
  SequenceWriter steps;
  for (std::int32_t opcode = 0; opcode <= kOpcodeMask; ++opcode) steps.dispatch(opcode);
  return steps.bytes();
}

void writeHostSequenceSeeds(const std::filesystem::path& directory) {
  write(directory / "switch_on_process_off", switchOnProcessOff());
  write(directory / "parameters_save_load", parametersSaveLoad());
  write(directory / "text_queries", textQueries());
  write(directory / "chunk_loads", chunkLoads());
  write(directory / "every_opcode_once", everyOpcodeOnce());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path corpus = argv[1];
  std::filesystem::create_directories(corpus / "state_load");
  std::filesystem::create_directories(corpus / "host_sequence");
  writeStateLoadSeeds(corpus / "state_load");
  writeHostSequenceSeeds(corpus / "host_sequence");
  return 0;
}
