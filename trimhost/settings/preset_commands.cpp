#include "trimhost/settings/preset_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "trimhost/cli/tool_error.h"
#include "trimhost/plugin/normalised_range.h"
#include "trimhost/settings/text_match.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t kHexDumpBytes = 64;
constexpr std::size_t kHexDumpLine = 16;
constexpr std::size_t kFloatsShown = 256;

// effGetChunk's and effSetChunk's index: a bank's chunk, or the current program's.
enum class ChunkScope : std::intptr_t { Bank = 0, Program = 1 };

ProgramFile readContents(const std::filesystem::path& file) {
  try {
    return readProgramFile(file);
  } catch (const PresetFormatError& error) {
    throw ToolError(ExitStatus::Preset, "corrupt preset " + file.string() + ": " + error.what());
  } catch (const std::runtime_error& error) {
    throw ToolError(ExitStatus::Preset, error.what());
  }
}

void refuseUnlessForced(bool force, const std::filesystem::path& file, const std::string& why) {
  if (!force) {
    throw ToolError(ExitStatus::Preset,
                    "preset " + file.string() + " " + why + " (--force loads it anyway)");
  }
}

void checkPluginId(PluginSession& session, std::int32_t id, const std::filesystem::path& file,
                   bool force) {
  if (id != session.record().uniqueID) {
    refuseUnlessForced(force, file,
                       "is for plugin id " + describePluginId(id) + ", not " +
                           describePluginId(session.record().uniqueID));
  }
}

void checkTakesChunks(PluginSession& session, const std::filesystem::path& file, bool force) {
  if (!session.hasFlag(effFlagsProgramChunks))
    refuseUnlessForced(force, file, "holds a chunk, but the plugin's programs are no chunks");
}

void checkFits(PluginSession& session, const PresetFile& preset, const std::filesystem::path& file,
               bool force) {
  checkPluginId(session, preset.pluginId, file, force);
  if (preset.kind == PresetFile::Kind::Chunk) checkTakesChunks(session, file, force);
  const std::int32_t parameterCount = session.record().numParams;
  if (preset.kind == PresetFile::Kind::Parameters && preset.parameterCount != parameterCount) {
    refuseUnlessForced(force, file,
                       "holds " + std::to_string(preset.parameterCount) +
                           " parameter values, but the plugin has " +
                           std::to_string(parameterCount));
  }
}

std::size_t valuesLoaded(PluginSession& session, const std::vector<float>& values) {
  return std::min<std::size_t>(values.size(), static_cast<std::size_t>(session.record().numParams));
}

// A host sends no normalised value outside 0 to 1, so one in the file is sent
// as the nearest that lies inside, and the user is told which.
std::vector<float> valuesToSend(PluginSession& session, const PresetFile& preset,
                                const std::filesystem::path& file) {
  std::vector<float> values = preset.parameters;
  for (std::size_t index = 0; index < valuesLoaded(session, values); ++index) {
    if (insideNormalisedRange(values[index])) continue;
    const auto parameter = static_cast<std::int32_t>(index);
    std::fprintf(stderr,
                 "trimhost: warning: %s sets %d %s to normalised %.9g, outside 0 to 1; loaded as "
                 "%g\n",
                 file.c_str(), parameter, trimmed(session.parameter(parameter).name).c_str(),
                 static_cast<double>(values[index]),
                 static_cast<double>(intoNormalisedRange(values[index])));
    values[index] = intoNormalisedRange(values[index]);
  }
  return values;
}

void loadParameters(PluginSession& session, const std::vector<float>& values) {
  for (std::size_t index = 0; index < valuesLoaded(session, values); ++index)
    session.plugin().setParameter(static_cast<std::int32_t>(index), values[index]);
}

void loadChunk(PluginSession& session, Bytes chunk, ChunkScope scope) {
  session.plugin().dispatch(effSetChunk, static_cast<std::int32_t>(scope),
                            static_cast<std::intptr_t>(chunk.size()), chunk.data());
}

std::optional<Bytes> chunkIfAny(PluginSession& session, ChunkScope scope) {
  void* data = nullptr;
  const auto size =
      session.plugin().dispatch(effGetChunk, static_cast<std::int32_t>(scope), 0, &data);
  if (size <= 0 || data == nullptr) return std::nullopt;
  const auto* first = static_cast<const unsigned char*>(data);
  return Bytes(first, first + size);
}

Bytes chunkOf(PluginSession& session) {
  std::optional<Bytes> chunk = chunkIfAny(session, ChunkScope::Program);
  if (!chunk)
    throw ToolError(ExitStatus::Plugin, "the plugin's programs are chunks, but it gave none");
  return *std::move(chunk);
}

std::vector<float> parametersOf(PluginSession& session) {
  std::vector<float> values;
  for (std::int32_t index = 0; index < session.record().numParams; ++index)
    values.push_back(session.plugin().getParameter(index));
  return values;
}

Bytes bytesOf(const std::vector<float>& values, std::size_t count) {
  const auto* first = reinterpret_cast<const unsigned char*>(values.data());
  return Bytes(first, first + count * sizeof(float));
}

// The plugin's state as far as the program sets it, as bytes: its chunk, or
// the parameter values the program holds values for; nothing when it gives
// no chunk.
std::optional<Bytes> stateOf(PluginSession& session, const PresetFile& preset) {
  if (preset.kind == PresetFile::Kind::Chunk) return chunkIfAny(session, ChunkScope::Program);
  return bytesOf(parametersOf(session), valuesLoaded(session, preset.parameters));
}

// The same part of the state as the program holds it.
Bytes stateIn(PluginSession& session, const PresetFile& preset) {
  if (preset.kind == PresetFile::Kind::Chunk) return preset.chunk;
  return bytesOf(preset.parameters, valuesLoaded(session, preset.parameters));
}

// A plugin may answer a chunk it does not understand by keeping its state:
// then the program was not taken, although nothing said so.
void checkTaken(const std::optional<Bytes>& before, const std::optional<Bytes>& after,
                const Bytes& inFile, const std::filesystem::path& file) {
  if (!before || before != after || inFile == *before) return;
  throw ToolError(ExitStatus::Preset, "the plugin did not take the program in " + file.string() +
                                          ": its state is as it was before loading it");
}

void loadProgram(PluginSession& session, const std::filesystem::path& file, PresetFile preset,
                 bool force) {
  checkFits(session, preset, file, force);
  if (preset.kind == PresetFile::Kind::Parameters)
    preset.parameters = valuesToSend(session, preset, file);
  const std::optional<Bytes> before = stateOf(session, preset);
  if (preset.kind == PresetFile::Kind::Chunk) {
    loadChunk(session, preset.chunk, ChunkScope::Program);
  } else {
    loadParameters(session, preset.parameters);
  }
  checkTaken(before, stateOf(session, preset), stateIn(session, preset), file);
  session.plugin().dispatch(effSetProgramName, 0, 0, preset.programName.data());
}

std::string programText(std::int32_t number, const std::string& name, std::int32_t count) {
  return "program " + std::to_string(number) + " '" + name + "' of " + std::to_string(count);
}

void checkProgramNumber(const std::filesystem::path& file, const PresetBank& bank,
                        std::int32_t number) {
  if (number >= 0 && number < bank.programCount) return;
  throw ToolError(ExitStatus::Preset,
                  "the bank " + file.string() + " holds " + counted(bank.programCount, "program") +
                      ", numbered from 0: it has no program " + std::to_string(number));
}

// A bank of parameter programs gives the plugin the chosen program; without a
// choice the bank's current program, or its first when that is none of them.
std::string loadProgramOfBank(PluginSession& session, const std::filesystem::path& file,
                              const PresetBank& bank, bool force,
                              std::optional<std::int32_t> program) {
  checkPluginId(session, bank.pluginId, file, force);
  const bool currentIsOne = bank.currentProgram >= 0 && bank.currentProgram < bank.programCount;
  const std::int32_t number = program.value_or(currentIsOne ? bank.currentProgram : 0);
  checkProgramNumber(file, bank, number);
  const PresetFile& chosen = bank.programs[static_cast<std::size_t>(number)];
  loadProgram(session, file, chosen, force);
  std::string loaded = programText(number, chosen.programName, bank.programCount);
  if (!program) loaded += currentIsOne ? ", the bank's current one" : ", the first";
  return loaded;
}

// A chunk bank restores every program and the current one at once, as the
// plugin keeps them; the chosen program is then made the current one.
std::string loadChunkBank(PluginSession& session, const std::filesystem::path& file,
                          const PresetBank& bank, bool force, std::optional<std::int32_t> program) {
  checkPluginId(session, bank.pluginId, file, force);
  checkTakesChunks(session, file, force);
  if (program) checkProgramNumber(file, bank, *program);
  const std::optional<Bytes> before = chunkIfAny(session, ChunkScope::Bank);
  loadChunk(session, bank.chunk, ChunkScope::Bank);
  checkTaken(before, chunkIfAny(session, ChunkScope::Bank), bank.chunk, file);
  if (program) session.plugin().dispatch(effSetProgram, 0, *program, nullptr);
  const auto current = static_cast<std::int32_t>(session.plugin().dispatch(effGetProgram));
  if (program && current != *program) {
    throw ToolError(ExitStatus::Preset, "the plugin did not change to program " +
                                            std::to_string(*program) + " of the bank " +
                                            file.string() + ": it has " +
                                            counted(session.record().numPrograms, "program"));
  }
  return programText(current, trimmed(session.text(effGetProgramName)), bank.programCount) +
         (program ? "" : ", the bank's current one");
}

// Chunks are the plugin's own: only its state after loading tells whether a
// value lies outside its parameter's range.
void warnOutOfRange(PluginSession& session, const std::filesystem::path& file) {
  for (std::int32_t index = 0; index < session.record().numParams; ++index) {
    const ParameterState state = session.parameter(index);
    if (insideNormalisedRange(state.normalised)) continue;
    std::fprintf(stderr, "trimhost: warning: after %s, %s; the plugin keeps it\n", file.c_str(),
                 outOfRangeText(state).c_str());
  }
}

void showHeader(const PresetFile& preset) {
  const bool chunk = preset.kind == PresetFile::Kind::Chunk;
  std::printf("kind            %s\n", chunk ? "FPCh (chunk)" : "FxCk (parameter values)");
  std::printf("format version  %d\n", preset.formatVersion);
  std::printf("plugin id       %s\n", describePluginId(preset.pluginId).c_str());
  std::printf("plugin version  %d\n", preset.pluginVersion);
  std::printf("parameters      %d\n", preset.parameterCount);
  std::printf("program name    %s\n", preset.programName.c_str());
}

void showBankHeader(const PresetBank& bank) {
  const bool chunk = bank.kind == PresetBank::Kind::Chunk;
  std::printf("kind            %s\n", chunk ? "FBCh (bank chunk)" : "FxBk (bank of programs)");
  std::printf("format version  %d\n", bank.formatVersion);
  std::printf("plugin id       %s\n", describePluginId(bank.pluginId).c_str());
  std::printf("plugin version  %d\n", bank.pluginVersion);
  std::printf("programs        %d\n", bank.programCount);
  std::printf("current program %d\n", bank.currentProgram);
}

// A host would send a value outside 0 to 1 as the nearest inside it.
void showParameters(const std::vector<float>& values) {
  std::printf("parameter values\n");
  for (std::size_t index = 0; index < values.size(); ++index) {
    std::printf("  %-4zu %.6f%s\n", index, static_cast<double>(values[index]),
                insideNormalisedRange(values[index]) ? "" : "  outside 0 to 1");
  }
}

void showHexDump(const Bytes& chunk) {
  const std::size_t shown = std::min(chunk.size(), kHexDumpBytes);
  std::printf("chunk           %zu bytes%s\n", chunk.size(),
              shown < chunk.size() ? ", first:" : ":");
  for (std::size_t line = 0; line < shown; line += kHexDumpLine) {
    std::printf("  %04zx ", line);
    for (std::size_t i = line; i < std::min(line + kHexDumpLine, shown); ++i)
      std::printf(" %02x", chunk[i]);
    std::printf("\n");
  }
}

// Plugins write their chunks in their own byte order; this machine's, for a
// plugin running on it.
void showFloats(const Bytes& chunk) {
  const std::size_t count = chunk.size() / 4;
  std::printf("chunk as 32-bit floats (this machine's byte order)\n");
  for (std::size_t index = 0; index < std::min(count, kFloatsShown); ++index) {
    float value;
    std::memcpy(&value, chunk.data() + 4 * index, sizeof value);
    std::printf("  %-4zu %.9g\n", index, static_cast<double>(value));
  }
  if (count > kFloatsShown) std::printf("  ... %zu more\n", count - kFloatsShown);
}

void showChunk(const Bytes& chunk) {
  showHexDump(chunk);
  if (chunk.size() % 4 == 0) showFloats(chunk);
}

void showProgram(const PresetFile& preset) {
  showHeader(preset);
  if (preset.kind == PresetFile::Kind::Parameters) {
    showParameters(preset.parameters);
  } else {
    showChunk(preset.chunk);
  }
}

void showBank(const PresetBank& bank) {
  showBankHeader(bank);
  if (bank.kind == PresetBank::Kind::Chunk) return showChunk(bank.chunk);
  for (std::size_t number = 0; number < bank.programs.size(); ++number) {
    std::printf("\nprogram %zu\n", number);
    showProgram(bank.programs[number]);
  }
}

}  // namespace

std::string loadPreset(PluginSession& session, const std::filesystem::path& file, bool force,
                       std::optional<std::int32_t> program) {
  const ProgramFile contents = readContents(file);
  std::string loaded = file.string();
  if (const auto* bank = std::get_if<PresetBank>(&contents)) {
    loaded += ", " + (bank->kind == PresetBank::Kind::Chunk
                          ? loadChunkBank(session, file, *bank, force, program)
                          : loadProgramOfBank(session, file, *bank, force, program));
  } else if (program) {
    throw ToolError(ExitStatus::Preset, "--program chooses a program of a bank, but " +
                                            file.string() + " holds a single program");
  } else {
    loadProgram(session, file, std::get<PresetFile>(contents), force);
  }
  warnOutOfRange(session, file);
  return loaded;
}

PresetFile capturePreset(PluginSession& session) {
  PresetFile preset;
  preset.pluginId = session.record().uniqueID;
  preset.pluginVersion = session.record().version;
  preset.parameterCount = session.record().numParams;
  preset.programName = session.text(effGetProgramName);
  if (session.hasFlag(effFlagsProgramChunks)) {
    preset.kind = PresetFile::Kind::Chunk;
    preset.chunk = chunkOf(session);
  } else {
    preset.kind = PresetFile::Kind::Parameters;
    preset.parameters = parametersOf(session);
  }
  return preset;
}

void savePreset(PluginSession& session, OutputFile& file) {
  const std::vector<unsigned char> bytes = encodePreset(capturePreset(session));
  file.writeAll(bytes.data(), bytes.size());
  file.commit();
}

void runPresetShow(const std::filesystem::path& file) {
  const ProgramFile contents = readContents(file);
  std::printf("file            %s\n", file.c_str());
  if (const auto* bank = std::get_if<PresetBank>(&contents)) return showBank(*bank);
  showProgram(std::get<PresetFile>(contents));
}
