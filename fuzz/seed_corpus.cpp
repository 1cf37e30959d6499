// Writes the seed corpus of every fuzz target into the directory given on the
// command line (fuzz/corpus in the repository):
//   state_load/     saved states: fresh, every control changed, values that
//                   are not finite, cut to 0, 3, 4, 8 and 131 bytes, 300
//                   bytes long, and one without the marker;
//   host_sequence/  host action sequences: switching on and processing,
//                   parameters with a save and loads, text queries, chunk
//                   loads from bytes, and every opcode once;
//   program_file/   a program of parameters, a chunk program, a bank of
//                   programs and a chunk bank, cut and overlong ones, and a
//                   chunk whose byte size points past the end of the file;
//   settings_file/  settings files as `trimhost params` writes them, with
//                   comments and blank lines, a byte-order mark and carriage
//                   returns, marked normalised values, and bad lines;
//   lv2_state/      LV2 state properties (lv2_state_fuzzer.cpp): a saved
//                   state with the ports unconnected, at their defaults and
//                   moved, cut to 0, 3 and 131 bytes, of a foreign type, and
//                   300 bytes long from a future version;
//   lv2_run/        LV2 host calls (lv2_run_encoding.h): ports moved, to
//                   values of no number, infinite, tiny and huge, time
//                   positions, malformed atoms, and lifecycle orders.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "downmixer_view.h"
#include "host_sequence_encoding.h"
#include "hosted_instance.h"
#include "lv2_run_encoding.h"
#include "plugin_host/preset_file.h"
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

Bytes overlongState() {
  return joined(everyControlChanged(), bytesOf(std::vector<float>(10, 2.0f)));
}

void writeStateLoadSeeds(const std::filesystem::path& directory) {
  const Bytes changed = everyControlChanged();
  write(directory / "fresh", savedChunkOf({}));
  write(directory / "every_control_changed", changed);
  for (std::size_t length : {0, 3, 4, 8, 131})
    write(directory / ("cut_to_" + std::to_string(length)), prefix(changed, length));
  write(directory / "overlong_300", overlongState());
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

// A program file's chunk byte size follows its 56-byte header.
constexpr std::size_t kProgramChunkSizeEnd = 60;

PresetFile chunkProgram(const std::string& name, const Bytes& chunk) {
  PresetFile program;
  program.parameterCount = kParameterCount;
  program.programName = name;
  program.chunk = chunk;
  return program;
}

PresetFile parameterProgram(const std::string& name, const std::vector<float>& positions) {
  PresetFile program = chunkProgram(name, {});
  program.kind = PresetFile::Kind::Parameters;
  program.parameters = positions;
  return program;
}

PresetBank bankOf(PresetBank::Kind kind, std::vector<PresetFile> programs, const Bytes& chunk) {
  PresetBank bank;
  bank.kind = kind;
  bank.programCount = static_cast<std::int32_t>(programs.size());
  bank.currentProgram = 1;
  bank.programs = std::move(programs);
  bank.chunk = chunk;
  return bank;
}

Bytes chunkSizePastEnd(Bytes program) {
  program[kProgramChunkSizeEnd - 1] += 16;
  return program;
}

void writeProgramFileSeeds(const std::filesystem::path& directory) {
  const std::vector<float> defaults{1, 1, 1, 0, 0, 0, 0.5f, 0};
  const PresetFile parameters = parameterProgram("defaults", defaults);
  const PresetFile chunk = chunkProgram("every control changed", everyControlChanged());
  const Bytes chunkBytes = encodePreset(chunk);
  const Bytes bank = encodeBank(bankOf(PresetBank::Kind::Programs, {parameters, chunk}, {}));
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>>{
           {"parameter_program.fxp", encodePreset(parameters)},
           {"chunk_program.fxp", chunkBytes},
           {"program_bank.fxb", bank},
           {"chunk_bank.fxb", encodeBank(bankOf(PresetBank::Kind::Chunk, {}, savedChunkOf({})))},
           {"chunk_program_cut_in_header.fxp", prefix(chunkBytes, 30)},
           {"program_bank_cut_in_last_program.fxb", prefix(bank, bank.size() - 10)},
           {"chunk_program_overlong.fxp", joined(chunkBytes, bytesOf({1.0f}))},
           {"chunk_size_past_end.fxp", chunkSizePastEnd(chunkBytes)}})
    write(directory / name, bytes);
}

void writeSettingsFileSeeds(const std::filesystem::path& directory) {
  for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
           {"params_output",
            "# settings for trimhost --set-file: Kestrivane_trimixer 3 stereo pa\n"
            "# 0 level stereo 1: from -167.00 dB to 0.00 dB, now -6.00 dB\n"
            "level stereo 1=-6.00 dB\n"
            "# 3 mute stereo 1: from unmute to mute, now mute\n"
            "mute stereo 1=mute\n"
            "# 6 master level: from -9.00 dB to 9.00 dB, now 0.00 dB\n"
            "master level=0.00 dB\n"
            "# 7 busses silent after mixer: from mute al to pass th, now pass th\n"
            "busses silent after mixer=pass th\n"},
           {"comments_and_blanks", "\n  # master level=9 dB\n\t\n  6 = -3 dB  \n#\n"},
           {"byte_order_mark_crlf", "\xEF\xBB\xBFlevel stereo 2=-12 dB\r\n# comment\r\n4=mute\r\n"},
           {"normalised_values",
            "# 1 Gain: normalised, as the display does not carry the exact value\n"
            "Gain=normalised 0.123456001\n0 = Normalised\t1\nmaster level=normalised 0\n"},
           {"no_last_newline", "mute stereo 3=unmute"},
           {"line_without_equals", "level stereo 1=-6 dB\nlevel stereo 2 -6 dB\n"},
           {"line_without_name", "# next\n=0.5\n"},
           {"normalised_out_of_range", "0=normalised 1.5\n"},
           {"normalised_not_a_number", "\n\nmaster level=normalised -6 dB\n"}})
    write(directory / name, textBytes(text));
}

// The property's type byte (even: atom:Chunk), the ports' mode, its flags and
// its value, as lv2_state_fuzzer.cpp reads them.
Bytes lv2StateInput(std::uint8_t type, std::uint8_t ports, const Bytes& value) {
  FieldWriter input;
  input.put(type);
  input.put(ports);
  input.put(std::uint32_t{3});  // LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE
  return joined(input.bytes(), value);
}

void writeLv2StateSeeds(const std::filesystem::path& directory) {
  constexpr std::uint8_t kChunk = 0, kUnconnected = 0, kDefaults = 1, kMoved = 2;
  const Bytes changed = everyControlChanged();
  write(directory / "saved_ports_unconnected", lv2StateInput(kChunk, kUnconnected, changed));
  write(directory / "saved_ports_at_defaults", lv2StateInput(kChunk, kDefaults, changed));
  write(directory / "saved_ports_moved", lv2StateInput(kChunk, kMoved, changed));
  for (std::size_t length : {0, 3, 131})
    write(directory / ("cut_to_" + std::to_string(length)),
          lv2StateInput(kChunk, kUnconnected, prefix(changed, length)));
  write(directory / "foreign_type", lv2StateInput(0xFF, kUnconnected, changed));  // URID 127
  write(directory / "future_300", lv2StateInput(kChunk, kUnconnected, overlongState()));
}

template <typename Value>
Bytes valueBytes(Value value) {
  FieldWriter bytes;
  bytes.put(value);
  return bytes.bytes();
}

// Keys and types by their places in lv2_run_encoding.h's tables.
enum TimeKey : std::uint8_t { kBeatsPerMinute, kBeatsPerBar, kBeatUnit, kBeat, kSpeed, kFrame };
enum TimeType : std::uint8_t { kFloat, kDouble, kInt, kLong, kBool };

std::vector<TimeProperty> playingAt(float beatsPerMinute, double beat) {
  return {{kBeatsPerMinute, kFloat, valueBytes(beatsPerMinute)},
          {kBeatsPerBar, kFloat, valueBytes(3.0f)},
          {kBeatUnit, kInt, valueBytes(std::int32_t{4})},
          {kBeat, kDouble, valueBytes(beat)},
          {kSpeed, kFloat, valueBytes(1.0f)}};
}

Bytes portsMoved() {
  Lv2RunWriter steps(kBlockSize);
  steps.activate();
  const float moved[kParameterCount] = {-12.3f, -83.5f, -167.0f, 1.0f, 0.0f, 1.0f, 6.5f, 1.0f};
  for (std::uint8_t port = 0; port < kParameterCount; ++port) steps.setControl(port, moved[port]);
  steps.run(kMaxRunFrames, 0.5f);
  steps.setControl(0, std::numeric_limits<float>::quiet_NaN());
  steps.setControl(1, std::numeric_limits<float>::infinity());
  steps.setControl(2, -std::numeric_limits<float>::infinity());
  steps.setControl(3, std::numeric_limits<float>::denorm_min());
  steps.setControl(6, 1e30f);
  steps.setControl(7, -0.0f);
  steps.run(256, 1.0f);
  steps.setControl(0, -12.35f);  // halfway between two steps
  steps.run(64, 1.0f);
  steps.deactivate();
  return steps.bytes();
}

Bytes timePositions() {
  Lv2RunWriter steps(kBlockSize);
  steps.activate();
  steps.addTimePosition(playingAt(120.0f, 8.0));
  steps.run(128, 1.0f);
  steps.run(128, 1.0f);
  steps.addTimePosition({{kBeatsPerMinute, kDouble, valueBytes(90.0)},
                         {kBeat, kLong, valueBytes(std::int64_t{12})},
                         {kSpeed, kInt, valueBytes(std::int32_t{0})},
                         {kFrame, kBool, valueBytes(std::int32_t{1})}},
                        kBlankObject);
  steps.addTimePosition(playingAt(std::numeric_limits<float>::infinity(), -1e300));
  steps.run(128, 1.0f);
  return steps.bytes();
}

Bytes malformedAtoms() {
  Lv2RunWriter steps(kBlockSize);
  steps.activate();
  steps.addTimePosition({{kBeatsPerMinute, kFloat, {}}, {kBeat, kDouble, valueBytes(1.0f)}});
  steps.run(32, 1.0f);
  // Positions whose objects say they are longer than the sequence, and end
  // inside their second property; an atom of 4 KiB in an event of 16 bytes;
  // an event cut short.
  steps.addTimePosition(playingAt(120.0f, 8.0), kDamagedObjectSize, 4096);
  steps.run(32, 1.0f);
  steps.addTimePosition(playingAt(120.0f, 8.0), kDamagedObjectSize, 8 + 24 + 12);
  steps.addRawEvent(joined(valueBytes(std::uint32_t{4096}), valueBytes(std::uint64_t{0})));
  steps.addRawEvent({0x01});
  steps.run(32, 1.0f);
  return steps.bytes();
}

Bytes lifecycleOrders() {
  Lv2RunWriter steps(0);  // no options: the shell's own block length
  steps.run(64, 1.0f);
  steps.activate();
  steps.activate();
  steps.run(0, 1.0f);
  steps.deactivate();
  steps.run(64, 1.0f);
  steps.deactivate();
  steps.activate();
  steps.run(std::numeric_limits<std::uint16_t>::max(), 0.25f);
  return steps.bytes();
}

void writeLv2RunSeeds(const std::filesystem::path& directory) {
  write(directory / "ports_moved", portsMoved());
  write(directory / "time_positions", timePositions());
  write(directory / "malformed_atoms", malformedAtoms());
  write(directory / "lifecycle_orders", lifecycleOrders());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path corpus = argv[1];
  for (const auto& [target, writeSeeds] :
       std::vector<std::pair<std::string, void (*)(const std::filesystem::path&)>>{
           {"state_load", writeStateLoadSeeds},
           {"host_sequence", writeHostSequenceSeeds},
           {"program_file", writeProgramFileSeeds},
           {"settings_file", writeSettingsFileSeeds},
           {"lv2_state", writeLv2StateSeeds},
           {"lv2_run", writeLv2RunSeeds}}) {
    std::filesystem::create_directories(corpus / target);
    writeSeeds(corpus / target);
  }
  return 0;
}
