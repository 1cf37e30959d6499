// Program files (.fxp) and banks (.fxb) between a plugin and the disk, and
// `trimhost preset show`.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "plugin_host/preset_file.h"
#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/output_file.h"

// Loads a program file as hosts do: a chunk through effSetChunk (as a
// preset), parameter values one by one, then the program name. From a bank,
// `program` (numbered from 0) is loaded: a bank of parameter programs gives
// that program; a bank chunk is handed to the plugin whole and the program
// then chosen; without `program` the bank's current program stays. A
// parameter value outside 0 to 1 is loaded as the nearest inside, and each
// parameter the plugin's state then holds outside its range is warned of.
// Answers the file and the program loaded, for the user. Throws ToolError
// (ExitStatus::Preset) for a file that cannot be read or is corrupt, for a
// program the file does not hold, and, unless `force`, for one made for
// another plugin (other id, other parameter count, or a chunk for a plugin
// that takes none).
std::string loadPreset(PluginSession& session, const std::filesystem::path& file, bool force,
                       std::optional<std::int32_t> program = std::nullopt);

// The plugin's state: its chunk when its programs are chunks, else its
// normalised parameter values.
PresetFile capturePreset(PluginSession& session);

// Writes the plugin's state and commits the file. Throws ToolError
// (ExitStatus::Failure) when it cannot be written.
void savePreset(PluginSession& session, OutputFile& file);

// Prints the header and the contents of a program file, or of a bank and
// each of its programs.
void runPresetShow(const std::filesystem::path& file);
