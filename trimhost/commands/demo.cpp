// trimhost demo PLUGIN: loads the plugin as a host does and shows what the host
// sees: the record, the descriptive texts, every parameter with its display
// text, a block processed at the defaults and under a second setting, and the
// calls the plugin made back.
#include "trimhost/commands/demo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin_identity.h"
#include "trimhost/commands/plugin_info.h"
#include "trimhost/plugin/plugin_session.h"
#include "trimhost/settings/text_match.h"

namespace {

std::string fourChars(std::int32_t value) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((value >> shift) & 0xFF);
  return text;
}

void showRecord(PluginSession& session) {
  PluginInstance& plugin = session.plugin();
  const AEffect& r = plugin.record();
  std::printf("Record\n");
  std::printf("  magic %s, version %d, unique id %d\n", fourChars(r.magic).c_str(), r.version,
              r.uniqueID);
  std::printf("  %s, %s, %s, %s\n", counted(r.numInputs, "input").c_str(),
              counted(r.numOutputs, "output").c_str(), counted(r.numPrograms, "program").c_str(),
              counted(r.numParams, "parameter").c_str());
  std::printf("  flags 0x%x (%s)\n", static_cast<unsigned>(r.flags), flagText(r.flags).c_str());
  std::printf("Texts\n");
  std::printf("  effect name     %s\n", session.text(effGetEffectName).c_str());
  std::printf("  product         %s\n", session.text(effGetProductString).c_str());
  std::printf("  vendor          %s\n", session.text(effGetVendorString).c_str());
  std::printf("  vendor version  %d\n", static_cast<int>(plugin.dispatch(effGetVendorVersion)));
  std::printf("  program         %s\n", session.text(effGetProgramName).c_str());
}

void showParameters(PluginSession& session) {
  PluginInstance& plugin = session.plugin();
  std::printf("Parameters\n  %-3s %-27s %-6s %-10s %s\n", "#", "name", "label", "normalised",
              "display");
  for (std::int32_t i = 0; i < plugin.record().numParams; ++i) {
    std::printf("  %-3d %-27s %-6s %-10.6f %s\n", i, session.text(effGetParamName, i).c_str(),
                session.text(effGetParamLabel, i).c_str(), plugin.getParameter(i),
                session.text(effGetParamDisplay, i).c_str());
  }
}

void showBlock(PluginInstance& plugin, const char* setting) {
  const std::size_t inputs = static_cast<std::size_t>(plugin.record().numInputs);
  const std::size_t outputs = static_cast<std::size_t>(plugin.record().numOutputs);
  constexpr std::int32_t kFrames = 4;
  ChannelBuffers<float> in(inputs, kFrames, 0.0f);
  ChannelBuffers<float> out(outputs, kFrames, 0.0f);
  for (std::size_t c = 0; c < inputs; ++c)
    for (std::int32_t f = 0; f < kFrames; ++f)
      in.at(c, f) = 0.1f * static_cast<float>(c + 1) * static_cast<float>(f % 2 == 0 ? 1 : -1);
  plugin.process(in, out);
  std::printf("Processed block (%d frames, 32-bit float): %s\n", kFrames, setting);
  for (std::int32_t f = 0; f < kFrames; ++f) {
    std::printf("  frame %d  in ", f);
    for (std::size_t c = 0; c < inputs; ++c) std::printf(" %+.3f", in.at(c, f));
    std::printf("  ->  out ");
    for (std::size_t c = 0; c < outputs; ++c) std::printf(" %+.3f", out.at(c, f));
    std::printf("\n");
  }
}

// The chunk a host would store for the current settings: its size and its
// first values read as 32-bit floats.
void showSavedState(PluginInstance& plugin) {
  void* data = nullptr;
  const auto bytes = static_cast<std::int32_t>(plugin.dispatch(effGetChunk, 0, 0, &data));
  std::printf("Saved state: %d bytes", bytes);
  if (bytes >= 4 && data != nullptr) {
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(bytes) / 4, 10);
    std::printf(", first floats");
    for (std::size_t i = 0; i < count; ++i) {
      float value;
      std::memcpy(&value, static_cast<const char*>(data) + 4 * i, sizeof value);
      std::printf(" %g", value);
    }
  }
  std::printf("\n");
}

const char* hostOpcodeName(std::int32_t opcode) {
  switch (opcode) {
    case audioMasterVersion:
      return "audioMasterVersion";
    case audioMasterWantMidi:
      return "audioMasterWantMidi";
    case audioMasterGetTime:
      return "audioMasterGetTime";
    default:
      return "other";
  }
}

void showHostCalls(const RecordingHost& host) {
  std::printf("Calls the plugin made to the host\n");
  for (const HostCall& call : host.calls())
    std::printf("  %-20s (opcode %d) value 0x%lx\n", hostOpcodeName(call.opcode), call.opcode,
                static_cast<unsigned long>(call.value));
}

// A parameter index and the normalised value a host gives it.
struct ParameterChange {
  std::int32_t index;
  float value;
};

struct Setting {
  std::string description;
  std::vector<ParameterChange> changes;
};

// Parameter indices mean something only to the plugin that defines them, so
// the downmixer's own setting is for the downmixer as the host sees it.
bool isTrimixer(PluginSession& session) {
  const AEffect& r = session.record();
  return r.numInputs == 6 && r.numOutputs == 6 && r.numParams == 8 &&
         session.text(effGetVendorString) == plugin_identity::kVendor &&
         session.text(effGetProductString) == plugin_identity::kEffectName;
}

Setting trimixerSetting() {
  return {"pair 2 at -6 dB, pair 3 muted, master +3 dB, busses passed through",
          {{1, 161.0f / 167.0f}, {5, 1.0f}, {6, 12.0f / 18.0f}, {7, 1.0f}}};
}

// Moving towards the farther end always changes the value and never leaves
// 0..1, whatever the default; a mirror would leave centred parameters alone.
float quarterTowardsFartherEnd(float value) { return value < 0.5f ? value + 0.25f : value - 0.25f; }

Setting genericSetting(PluginInstance& plugin) {
  Setting setting{"every parameter a quarter of its range towards its farther end", {}};
  for (std::int32_t i = 0; i < plugin.record().numParams; ++i)
    setting.changes.push_back({i, quarterTowardsFartherEnd(plugin.getParameter(i))});
  return setting;
}

void showSetting(PluginSession& session, const Setting& setting) {
  std::printf("Host sets %s\n", setting.description.c_str());
  for (const ParameterChange& change : setting.changes) {
    session.plugin().setParameter(change.index, change.value);
    const ParameterState shown = session.parameter(change.index);
    std::printf("  %-3d %-27s %-6s %-10.6f %s\n", shown.index, shown.name.c_str(),
                shown.label.c_str(), shown.normalised, shown.display.c_str());
  }
  showBlock(session.plugin(), setting.description.c_str());
}

}  // namespace

void runDemo(const std::string& path) {
  PluginSession session(path);
  PluginInstance& plugin = session.plugin();
  session.configure(48000.0, 512);
  session.resume();
  std::printf("Plugin %s\n", path.c_str());
  showRecord(session);
  showParameters(session);
  showBlock(plugin, "defaults");
  const Setting second = isTrimixer(session) ? trimixerSetting() : genericSetting(plugin);
  if (!second.changes.empty()) showSetting(session, second);
  showSavedState(plugin);
  session.suspend();
  showHostCalls(session.host());
}
