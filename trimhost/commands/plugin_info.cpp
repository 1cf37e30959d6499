#include "trimhost/commands/plugin_info.h"

#include <cstdio>
#include <iomanip>
#include <sstream>
#include <utility>

#include "plugin_host/channel_buffers.h"
#include "plugin_host/preset_file.h"

namespace {

constexpr double kInfoSampleRate = 48000.0;
constexpr std::int32_t kInfoBlockSize = 512;

std::string hex(std::uint32_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << value;
  return text.str();
}

void appendParameterTable(std::ostringstream& out, const PluginDescription& description) {
  out << "  " << std::left << std::setw(4) << "#" << std::setw(28) << "name" << std::setw(8)
      << "label" << std::setw(12) << "normalised"
      << "display\n";
  for (const ParameterState& p : description.parameters) {
    out << "  " << std::setw(4) << p.index << std::setw(28) << p.name << std::setw(8) << p.label
        << std::setw(12) << std::fixed << std::setprecision(6) << p.normalised << p.display << "\n";
  }
}

// Plugins may state their delay only once they know the sample rate and are
// switched on, some only in their first processing call: the delay is read
// as render reads it, after a block of silence, and the plugin is switched
// off again.
std::int32_t delayWhenSwitchedOn(PluginSession& session) {
  session.configure(kInfoSampleRate, kInfoBlockSize);
  session.resume();
  ChannelBuffers<float> inputs(static_cast<std::size_t>(session.record().numInputs), kInfoBlockSize,
                               0.0f);
  ChannelBuffers<float> outputs(static_cast<std::size_t>(session.record().numOutputs),
                                kInfoBlockSize, 0.0f);
  if (session.hasFlag(effFlagsCanReplacing)) session.plugin().process(inputs, outputs);
  const std::int32_t delay = session.record().initialDelay;
  session.suspend();
  return delay;
}

}  // namespace

PluginDescription describePlugin(PluginSession& session, const std::string& path) {
  const AEffect& record = session.record();
  PluginDescription description{
      path,
      session.text(effGetEffectName),
      session.text(effGetVendorString),
      session.text(effGetProductString),
      static_cast<std::int32_t>(session.plugin().dispatch(effGetVendorVersion)),
      record.uniqueID,
      record.version,
      record.numInputs,
      record.numOutputs,
      record.flags,
      record.numPrograms,
      session.text(effGetProgramName),
      delayWhenSwitchedOn(session),
      session.parameters()};
  return description;
}

std::vector<std::string> flagNames(std::int32_t flags) {
  const std::pair<std::int32_t, const char*> named[] = {
      {effFlagsHasEditor, "HasEditor"},
      {effFlagsCanReplacing, "CanReplacing"},
      {effFlagsProgramChunks, "ProgramChunks"},
      {effFlagsIsSynth, "IsSynth"},
      {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
  std::vector<std::string> names;
  auto unnamed = static_cast<std::uint32_t>(flags);
  for (const auto& [bit, name] : named) {
    if ((flags & bit) != 0) names.emplace_back(name);
    unnamed &= ~static_cast<std::uint32_t>(bit);
  }
  for (std::uint32_t bit = 1; bit != 0; bit <<= 1)
    if ((unnamed & bit) != 0) names.push_back(hex(bit));
  return names;
}

std::string flagText(std::int32_t flags) {
  std::string text;
  for (const std::string& name : flagNames(flags)) text += (text.empty() ? "" : " ") + name;
  return text;
}

std::string descriptionText(const PluginDescription& d) {
  std::ostringstream out;
  out << std::left;
  const auto line = [&out](const char* key, const auto& value) {
    out << std::setw(16) << key << value << "\n";
  };
  line("plugin", d.path);
  line("effect name", d.effectName);
  line("vendor", d.vendor);
  line("product", d.product);
  line("vendor version", d.vendorVersion);
  line("unique id", describePluginId(d.uniqueId));
  line("version", d.version);
  line("inputs", d.inputs);
  line("outputs", d.outputs);
  line("flags", hex(static_cast<std::uint32_t>(d.flags)) + " " + flagText(d.flags));
  line("programs", d.programs);
  line("program name", d.programName);
  line("initial delay", d.initialDelay);
  line("parameters", d.parameters.size());
  appendParameterTable(out, d);
  return out.str();
}

nlohmann::ordered_json descriptionJson(const PluginDescription& d) {
  nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
  for (const ParameterState& p : d.parameters) {
    parameters.push_back({{"index", p.index},
                          {"name", p.name},
                          {"label", p.label},
                          {"normalised", p.normalised},
                          {"display", p.display}});
  }
  return {{"plugin", d.path},
          {"effect_name", d.effectName},
          {"vendor", d.vendor},
          {"product", d.product},
          {"vendor_version", d.vendorVersion},
          {"unique_id", d.uniqueId},
          {"unique_id_text", describePluginId(d.uniqueId)},
          {"version", d.version},
          {"inputs", d.inputs},
          {"outputs", d.outputs},
          {"flags", {{"value", d.flags}, {"names", flagNames(d.flags)}}},
          {"programs", d.programs},
          {"program_name", d.programName},
          {"initial_delay", d.initialDelay},
          {"parameters", parameters}};
}

void runInfo(const std::string& pluginPath, bool asJson) {
  PluginSession session(pluginPath);
  const PluginDescription description = describePlugin(session, pluginPath);
  if (asJson) {
    // Plugins' texts need not be UTF-8; invalid bytes become U+FFFD.
    std::puts(descriptionJson(description)
                  .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  .c_str());
  } else {
    std::fputs(descriptionText(description).c_str(), stdout);
  }
}
