#include "trimhost/settings/plugin_settings.h"

#include <cstdio>

#include "trimhost/settings/preset_commands.h"
#include "trimhost/settings/text_match.h"

namespace {

// A display the plugin cut short is named, so that a user who typed more
// sees which text was taken for it.
std::string cutDisplayNote(const ParameterAssignment& assignment,
                           const AppliedAssignment& applied) {
  if (!applied.byCutDisplay) return "";
  return "; '" + trimmed(assignment.value) + "' taken as '" + applied.state.display +
         "', a display the plugin cut short";
}

void printAssignment(std::FILE* report, const ParameterAssignment& assignment,
                     const AppliedAssignment& applied) {
  const ParameterState& state = applied.state;
  std::fprintf(report, "set: %d %s = %s%s%s (normalised %.7g%s)\n", state.index, state.name.c_str(),
               state.display.c_str(), state.label.empty() ? "" : " ", state.label.c_str(),
               static_cast<double>(state.normalised), cutDisplayNote(assignment, applied).c_str());
}

void applyFile(PluginSession& session, const SettingsFile& file, std::FILE* report) {
  std::fprintf(report, "settings file: %s\n", file.path.c_str());
  for (const SettingsLine& line : file.lines) {
    const AppliedAssignment applied =
        locatedAt(line.where, [&] { return applyAssignment(session, line.assignment); });
    printAssignment(report, line.assignment, applied);
  }
}

}  // namespace

void applySettings(PluginSession& session, const PluginSettings& settings, std::FILE* report) {
  if (!settings.presetFile.empty()) {
    const std::string loaded =
        loadPreset(session, settings.presetFile, settings.force, settings.program);
    std::fprintf(report, "preset: %s\n", loaded.c_str());
  }
  for (const SettingsFile& file : settings.settingsFiles) applyFile(session, file, report);
  for (const ParameterAssignment& assignment : settings.assignments)
    printAssignment(report, assignment, applyAssignment(session, assignment));
}

std::vector<NamedFile> settingsInputs(const PluginSettings& settings) {
  std::vector<NamedFile> inputs{{"--preset", settings.presetFile}};
  for (const SettingsFile& file : settings.settingsFiles)
    inputs.push_back({"--set-file", file.path});
  return inputs;
}
