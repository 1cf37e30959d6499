#include "trimhost/commands/preset_save.h"

#include <cstdio>
#include <vector>

#include "trimhost/plugin/plugin_session.h"
#include "trimhost/safety/file_identity.h"
#include "trimhost/settings/preset_commands.h"

void runPresetSave(const std::string& pluginPath, const PluginSettings& settings,
                   const std::string& file, ExistingOutput existing,
                   const std::string& programName) {
  std::vector<NamedFile> inputs = settingsInputs(settings);
  inputs.push_back({"the plugin", pluginPath});
  refuseOverlaps(inputs, {{"the program file", file}});
  OutputFile output(file, existing);
  PluginSession session(pluginPath);
  applySettings(session, settings);
  // Saved as the plugin reports it back: a host loading the file shows that.
  if (!programName.empty()) {
    std::string name = programName;
    session.plugin().dispatch(effSetProgramName, 0, 0, name.data());
  }
  savePreset(session, output);
  std::printf("saved: %s\n", file.c_str());
}
