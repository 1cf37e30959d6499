// What the user asks the plugin to be set to before it runs: a preset file
// first, then each --set and --set-normalised in the order given, so a later
// one overrides what the preset or an earlier one set.
#pragma once

#include <string>
#include <vector>

#include "parameter_assignment.h"
#include "plugin_session.h"

struct PluginSettings {
  std::string presetFile;  // empty for none
  bool force = false;      // load a preset made for another plugin
  std::vector<ParameterAssignment> assignments;
};

// Applies the settings and prints them, one line each, as the plugin now shows them.
void applySettings(PluginSession& session, const PluginSettings& settings);
