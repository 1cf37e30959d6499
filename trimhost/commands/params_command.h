// trimhost params PLUGIN: the plugin's parameters after the settings, as a
// settings file that --set-file reads back to the same normalised values.
#pragma once

#include <string>

#include "trimhost/plugin/plugin_session.h"
#include "trimhost/settings/plugin_settings.h"

// One line per parameter, in its units or its display text where that sets
// it back exactly and normalised where not, each after a comment with its
// index, its range and its display. Each line is checked by reading it back
// as --set-file does; every parameter is left as it was found. A value
// outside 0 to 1, which a chunk can restore but no line can set, is written
// as the nearest value inside, with a warning.
std::string currentSettings(PluginSession& session);

// The settings lines go to standard error, so that standard output holds the file alone.
void runParams(const std::string& pluginPath, const PluginSettings& settings);
