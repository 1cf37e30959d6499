// What the user asks the plugin to be set to before it runs: a preset file
// first, then the lines of each --set-file in the order given, then each
// --set and --set-normalised in the order given, so that a later one
// overrides what the preset, a file or an earlier one set. A file holds a
// saved state; the options on the command line are the changes to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/file_identity.h"
#include "trimhost/settings/parameter_assignment.h"
#include "trimhost/settings/settings_file.h"

struct PluginSettings {
  std::string presetFile;               // empty for none
  bool force = false;                   // load a preset made for another plugin
  std::optional<std::int32_t> program;  // of a bank; none for its current program
  std::vector<SettingsFile> settingsFiles;
  std::vector<ParameterAssignment> assignments;
};

// Applies the settings and prints them to `report`, one line each, as the
// plugin now shows them. An error in a file's line names the file and line.
void applySettings(PluginSession& session, const PluginSettings& settings,
                   std::FILE* report = stdout);

// The files the settings read, for refuseOverlaps.
std::vector<NamedFile> settingsInputs(const PluginSettings& settings);
