// Program files (.fxp) between a plugin and the disk, and `trimhost preset show`.
#pragma once

#include <filesystem>

#include "output_file.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "preset_file.h"

// Loads a program file as hosts do: a chunk through effSetChunk (as a
// preset), parameter values one by one, then the program name. Throws
// ToolError (ExitStatus::Preset) for a file that cannot be read or is
// corrupt, and, unless `force`, for one made for another plugin (other id,
// other parameter count, or a chunk for a plugin that takes none). A
// parameter value outside 0 to 1 is loaded as the nearest inside, and each
// parameter the plugin's state then holds outside its range is warned of.
void loadPreset(PluginSession& session, const std::filesystem::path& file, bool force);

// The plugin's state: its chunk when its programs are chunks, else its
// normalised parameter values.
PresetFile capturePreset(PluginSession& session);

// Writes the plugin's state and commits the file. Throws ToolError
// (ExitStatus::Failure) when it cannot be written.
void savePreset(PluginSession& session, OutputFile& file);

// Prints the header and the contents of a program file.
void runPresetShow(const std::filesystem::path& file);

// trimhost preset save: the plugin's state after the settings, without rendering.
void runPresetSave(const std::string& pluginPath, const PluginSettings& settings,
                   const std::string& file, ExistingOutput existing);
