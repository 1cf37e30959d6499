#include "trimhost/commands/params_command.h"

#include <cstdio>
#include <optional>

#include "trimhost/cli/tool_error.h"
#include "trimhost/plugin/normalised_range.h"
#include "trimhost/settings/display_search.h"
#include "trimhost/settings/settings_file.h"
#include "trimhost/settings/text_match.h"

namespace {

// Puts a parameter back to the value it had, however a probe of it ends.
class KeptParameter {
 public:
  KeptParameter(PluginSession& session, std::int32_t index)
      : session_(session), index_(index), normalised_(session.plugin().getParameter(index)) {}
  ~KeptParameter() { session_.plugin().setParameter(index_, normalised_); }
  KeptParameter(const KeptParameter&) = delete;
  KeptParameter& operator=(const KeptParameter&) = delete;

 private:
  PluginSession& session_;
  std::int32_t index_;
  float normalised_;
};

std::string withLabel(const std::string& display, const std::string& label) {
  return label.empty() ? display : display + " " + label;
}

std::string shownWithLabel(const ParameterState& state) {
  return withLabel(trimmed(state.display), trimmed(state.label));
}

// A number carries the unit that --set allows after it; a text stands alone.
std::string shownValue(const ParameterState& state) {
  return numericDisplay(state.display) ? shownWithLabel(state) : trimmed(state.display);
}

std::string rangeOf(PluginSession& session, const ParameterState& state) {
  const KeptParameter kept(session, state.index);
  DisplaySearch search(session, state.index);
  const std::string label = trimmed(state.label);
  return "from " + withLabel(trimmed(search.displayAt(0.0f)), label) + " to " +
         withLabel(trimmed(search.displayAt(1.0f)), label);
}

// The name, when a settings line with it names this parameter and no other.
std::optional<std::string> nameKey(PluginSession& session, const ParameterState& state) {
  const std::string name = trimmed(state.name);
  if (name.empty()) return std::nullopt;
  try {
    const std::optional<ParameterAssignment> parsed = parseSettingsLine(name + "=");
    if (parsed && parameterIndex(session, parsed->parameter) == state.index) return name;
  } catch (const ToolError&) {
  }
  return std::nullopt;
}

// Whether the line, read as --set-file reads it, sets the parameter's value
// exactly; `line` names this parameter and no other.
bool setsBack(PluginSession& session, const ParameterState& state, const std::string& line) {
  const KeptParameter kept(session, state.index);
  try {
    const std::optional<ParameterAssignment> parsed = parseSettingsLine(line);
    if (!parsed) return false;
    applyAssignment(session, *parsed);
  } catch (const ToolError&) {
    return false;
  }
  return session.plugin().getParameter(state.index) == state.normalised;
}

std::string header(PluginSession& session) {
  const std::string name = trimmed(session.text(effGetEffectName));
  return "# settings for trimhost --set-file" + (name.empty() ? "" : ": " + name) + "\n";
}

std::string entryFor(PluginSession& session, const ParameterState& state) {
  const std::optional<std::string> name = nameKey(session, state);
  const std::string key = name.value_or(std::to_string(state.index)) + "=";
  std::string comment = "# " + std::to_string(state.index) + " " + state.name + ": " +
                        rangeOf(session, state) + ", now " + shownWithLabel(state);
  if (!name) {
    comment += state.name.empty() ? "; by index, as it has no name"
                                  : "; by index, as its name does not single it out";
  }
  const std::string shown = key + shownValue(state);
  if (setsBack(session, state, shown)) return comment + "\n" + shown + "\n";
  return comment + "; normalised, as the display does not carry the exact value\n" + key +
         normalisedValueText(state.normalised) + "\n";
}

// No settings line sets a value outside 0 to 1, as no host sends one: the
// file holds the nearest value inside, and says what it replaced.
std::string outOfRangeEntry(PluginSession& session, const ParameterState& state) {
  const std::string what = outOfRangeText(state);
  std::fprintf(stderr, "trimhost: warning: %s; the file sets it to the nearest end\n",
               what.c_str());
  const KeptParameter kept(session, state.index);
  session.plugin().setParameter(state.index, intoNormalisedRange(state.normalised));
  return "# " + what + "; set to the nearest end of its range\n" +
         entryFor(session, session.parameter(state.index));
}

std::string parameterEntry(PluginSession& session, std::int32_t index) {
  const ParameterState state = session.parameter(index);
  if (!insideNormalisedRange(state.normalised)) return outOfRangeEntry(session, state);
  return entryFor(session, state);
}

}  // namespace

std::string currentSettings(PluginSession& session) {
  std::string file = header(session);
  for (std::int32_t index = 0; index < session.record().numParams; ++index)
    file += parameterEntry(session, index);
  return file;
}

void runParams(const std::string& pluginPath, const PluginSettings& settings) {
  std::vector<NamedFile> inputs = settingsInputs(settings);
  inputs.push_back({"the plugin", pluginPath});
  refuseOverlaps(inputs, {});
  PluginSession session(pluginPath);
  applySettings(session, settings, stderr);
  std::fputs(currentSettings(session).c_str(), stdout);
}
