#include "plugin_settings.h"

#include <cstdio>

#include "preset_commands.h"
#include "text_match.h"

namespace {

// A display the plugin cut short is named, so that a user who typed more
// sees which text was taken for it.
std::string cutDisplayNote(const ParameterAssignment& assignment,
                           const AppliedAssignment& applied) {
  if (!applied.byCutDisplay) return "";
  return "; '" + trimmed(assignment.value) + "' taken as '" + applied.state.display +
         "', a display the plugin cut short";
}

void printAssignment(const ParameterAssignment& assignment, const AppliedAssignment& applied) {
  const ParameterState& state = applied.state;
  std::printf("set: %d %s = %s%s%s (normalised %.7g%s)\n", state.index, state.name.c_str(),
              state.display.c_str(), state.label.empty() ? "" : " ", state.label.c_str(),
              static_cast<double>(state.normalised), cutDisplayNote(assignment, applied).c_str());
}

}  // namespace

void applySettings(PluginSession& session, const PluginSettings& settings) {
  if (!settings.presetFile.empty()) {
    loadPreset(session, settings.presetFile, settings.force);
    std::printf("preset: %s\n", settings.presetFile.c_str());
  }
  for (const ParameterAssignment& assignment : settings.assignments)
    printAssignment(assignment, applyAssignment(session, assignment));
}
