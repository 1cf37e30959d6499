#include "plugin_settings.h"

#include <cstdio>

#include "parameter_assignment.h"
#include "preset_commands.h"

void applySettings(PluginSession& session, const PluginSettings& settings) {
  if (!settings.presetFile.empty()) {
    loadPreset(session, settings.presetFile, settings.force);
    std::printf("preset: %s\n", settings.presetFile.c_str());
  }
  for (const std::string& text : settings.assignments) {
    const ParameterState state = applyAssignment(session, parseAssignment(text));
    std::printf("set: %d %s = %s%s%s (normalised %.7g)\n", state.index, state.name.c_str(),
                state.display.c_str(), state.label.empty() ? "" : " ", state.label.c_str(),
                static_cast<double>(state.normalised));
  }
}
