#include "preset_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "file_identity.h"
#include "normalised_range.h"
#include "text_match.h"
#include "tool_error.h"

namespace {

constexpr std::size_t kHexDumpBytes = 64;
constexpr std::size_t kHexDumpLine = 16;
constexpr std::size_t kFloatsShown = 256;

PresetFile readPreset(const std::filesystem::path& file) {
  try {
    return readPresetFile(file);
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

void checkFits(PluginSession& session, const PresetFile& preset, const std::filesystem::path& file,
               bool force) {
  const AEffect& record = session.record();
  if (preset.pluginId != record.uniqueID) {
    refuseUnlessForced(force, file,
                       "is for plugin id " + describePluginId(preset.pluginId) + ", not " +
                           describePluginId(record.uniqueID));
  }
  if (preset.kind == PresetFile::Kind::Chunk && !session.hasFlag(effFlagsProgramChunks)) {
    refuseUnlessForced(force, file, "holds a chunk, but the plugin's programs are no chunks");
  }
  if (preset.kind == PresetFile::Kind::Parameters && preset.parameterCount != record.numParams) {
    refuseUnlessForced(force, file,
                       "holds " + std::to_string(preset.parameterCount) +
                           " parameter values, but the plugin has " +
                           std::to_string(record.numParams));
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

void loadChunk(PluginSession& session, std::vector<unsigned char> chunk) {
  session.plugin().dispatch(effSetChunk, 1, static_cast<std::intptr_t>(chunk.size()), chunk.data());
}

std::optional<std::vector<unsigned char>> chunkIfAny(PluginSession& session) {
  void* data = nullptr;
  const auto size = session.plugin().dispatch(effGetChunk, 1, 0, &data);
  if (size <= 0 || data == nullptr) return std::nullopt;
  const auto* first = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(first, first + size);
}

std::vector<unsigned char> chunkOf(PluginSession& session) {
  std::optional<std::vector<unsigned char>> chunk = chunkIfAny(session);
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

void showHeader(const std::filesystem::path& file, const PresetFile& preset) {
  const bool chunk = preset.kind == PresetFile::Kind::Chunk;
  std::printf("file            %s\n", file.c_str());
  std::printf("kind            %s\n", chunk ? "FPCh (chunk)" : "FxCk (parameter values)");
  std::printf("format version  %d\n", preset.formatVersion);
  std::printf("plugin id       %s\n", describePluginId(preset.pluginId).c_str());
  std::printf("plugin version  %d\n", preset.pluginVersion);
  std::printf("parameters      %d\n", preset.parameterCount);
  std::printf("program name    %s\n", preset.programName.c_str());
}

// A host would send a value outside 0 to 1 as the nearest inside it.
void showParameters(const std::vector<float>& values) {
  std::printf("parameter values\n");
  for (std::size_t index = 0; index < values.size(); ++index) {
    std::printf("  %-4zu %.6f%s\n", index, static_cast<double>(values[index]),
                insideNormalisedRange(values[index]) ? "" : "  outside 0 to 1");
  }
}

void showHexDump(const std::vector<unsigned char>& chunk) {
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
void showFloats(const std::vector<unsigned char>& chunk) {
  const std::size_t count = chunk.size() / 4;
  std::printf("chunk as 32-bit floats (this machine's byte order)\n");
  for (std::size_t index = 0; index < std::min(count, kFloatsShown); ++index) {
    float value;
    std::memcpy(&value, chunk.data() + 4 * index, sizeof value);
    std::printf("  %-4zu %.9g\n", index, static_cast<double>(value));
  }
  if (count > kFloatsShown) std::printf("  ... %zu more\n", count - kFloatsShown);
}

// The plugin's state as far as the file sets it, as bytes: its chunk, or the
// parameter values the file holds values for; nothing when it gives no chunk.
std::optional<std::vector<unsigned char>> stateOf(PluginSession& session,
                                                  const PresetFile& preset) {
  if (preset.kind == PresetFile::Kind::Chunk) return chunkIfAny(session);
  std::vector<float> values = parametersOf(session);
  values.resize(std::min(values.size(), preset.parameters.size()));
  const auto* first = reinterpret_cast<const unsigned char*>(values.data());
  return std::vector<unsigned char>(first, first + values.size() * sizeof(float));
}

// The same part of the state as the file holds it.
std::vector<unsigned char> stateIn(const PresetFile& preset, std::size_t size) {
  if (preset.kind == PresetFile::Kind::Chunk) return preset.chunk;
  const auto* first = reinterpret_cast<const unsigned char*>(preset.parameters.data());
  return {first, first + size};
}

// A plugin may answer a chunk it does not understand by keeping its state:
// then the program was not taken, although nothing said so.
void checkTaken(const std::optional<std::vector<unsigned char>>& before,
                const std::optional<std::vector<unsigned char>>& after, const PresetFile& preset,
                const std::filesystem::path& file) {
  if (!before || before != after || stateIn(preset, before->size()) == *before) return;
  throw ToolError(ExitStatus::Preset, "the plugin did not take the program in " + file.string() +
                                          ": its state is as it was before loading it");
}

}  // namespace

void loadPreset(PluginSession& session, const std::filesystem::path& file, bool force) {
  PresetFile preset = readPreset(file);
  checkFits(session, preset, file, force);
  if (preset.kind == PresetFile::Kind::Parameters)
    preset.parameters = valuesToSend(session, preset, file);
  const std::optional<std::vector<unsigned char>> before = stateOf(session, preset);
  if (preset.kind == PresetFile::Kind::Chunk) {
    loadChunk(session, preset.chunk);
  } else {
    loadParameters(session, preset.parameters);
  }
  checkTaken(before, stateOf(session, preset), preset, file);
  std::string name = preset.programName;
  session.plugin().dispatch(effSetProgramName, 0, 0, name.data());
  warnOutOfRange(session, file);
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
  const PresetFile preset = readPreset(file);
  showHeader(file, preset);
  if (preset.kind == PresetFile::Kind::Parameters) {
    showParameters(preset.parameters);
    return;
  }
  showHexDump(preset.chunk);
  if (preset.chunk.size() % 4 == 0) showFloats(preset.chunk);
}

void runPresetSave(const std::string& pluginPath, const PluginSettings& settings,
                   const std::string& file, ExistingOutput existing) {
  std::vector<NamedFile> inputs = settingsInputs(settings);
  inputs.push_back({"the plugin", pluginPath});
  refuseOverlaps(inputs, {{"the program file", file}});
  OutputFile output(file, existing);
  PluginSession session(pluginPath);
  applySettings(session, settings);
  savePreset(session, output);
  std::printf("saved: %s\n", file.c_str());
}
