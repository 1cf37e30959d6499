// trimhost preset save PLUGIN FILE: the plugin's state after the settings,
// without rendering, under the program name given (unless empty).
#pragma once

#include <string>

#include "trimhost/safety/output_file.h"
#include "trimhost/settings/plugin_settings.h"

void runPresetSave(const std::string& pluginPath, const PluginSettings& settings,
                   const std::string& file, ExistingOutput existing,
                   const std::string& programName);
