// What the user asks the plugin to be set to before it runs: a preset file
// first, then each --set in order, so a --set overrides what the preset holds.
#pragma once

#include <string>
#include <vector>

#include "plugin_session.h"

struct PluginSettings {
  std::string presetFile;  // empty for none
  bool force = false;      // load a preset made for another plugin
  std::vector<std::string> assignments;
};

// Applies the settings and prints them, one line each, as the plugin now shows them.
void applySettings(PluginSession& session, const PluginSettings& settings);
