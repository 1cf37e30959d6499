#include "trimhost/commands/preset_save.h"

#include <cstdio>
#include <vector>

#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/file_identity.h"
#include "trimhost/settings/preset_commands.h"

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
