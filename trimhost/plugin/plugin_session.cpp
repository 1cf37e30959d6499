#include "trimhost/plugin/plugin_session.h"

#include <filesystem>

#include "trimhost/cli/tool_error.h"

namespace {

// Generous buffers: the tool wants whole texts, not the least that hosts give.
constexpr std::size_t kTextBuffer = 256;

// A path with a slash, so that the loader opens this file rather than
// searching its library directories for the name.
std::string existingPath(const std::string& path) {
  if (!std::filesystem::exists(path)) {
    throw ToolError(ExitStatus::Plugin, "no such plugin file: " + path);
  }
  return std::filesystem::absolute(path).string();
}

// Hosts look for VSTPluginMain first; older plugins export only main.
PluginEntryProc entryPointOf(const PluginLibrary& library, const std::string& path) {
  for (const char* name : {"VSTPluginMain", "main"}) {
    if (const PluginEntryProc entry = library.entryPoint(name)) return entry;
  }
  throw ToolError(ExitStatus::Plugin,
                  path + " is not a plugin: it exports neither VSTPluginMain nor main");
}

}  // namespace

PluginSession::PluginSession(const std::string& path) try
    : library_(std::in_place, existingPath(path)) {
  start(entryPointOf(*library_, path));
} catch (const ToolError&) {
  throw;
} catch (const std::runtime_error& error) {
  throw ToolError(ExitStatus::Plugin, error.what());
}

PluginSession::PluginSession(PluginEntryProc entry) { start(entry); }

void PluginSession::start(PluginEntryProc entry) {
  try {
    instance_ = std::make_unique<PluginInstance>(host_, entry);
  } catch (const std::runtime_error& error) {
    throw ToolError(ExitStatus::Plugin,
                    "the plugin refused to start: " + std::string(error.what()));
  }
  plugin().dispatch(effOpen);
}

std::string PluginSession::text(std::int32_t opcode, std::int32_t index) {
  return plugin().readText(opcode, kTextBuffer, index).text().value_or("");
}

ParameterState PluginSession::parameter(std::int32_t index) {
  return {index, text(effGetParamName, index), text(effGetParamLabel, index),
          plugin().getParameter(index), text(effGetParamDisplay, index)};
}

void PluginSession::configure(double sampleRate, std::int32_t blockSize) {
  plugin().dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  plugin().dispatch(effSetBlockSize, 0, blockSize);
}

std::vector<ParameterState> PluginSession::parameters() {
  std::vector<ParameterState> all;
  for (std::int32_t index = 0; index < record().numParams; ++index) all.push_back(parameter(index));
  return all;
}

void PluginSession::resume() { plugin().dispatch(effMainsChanged, 0, 1); }

void PluginSession::suspend() { plugin().dispatch(effMainsChanged, 0, 0); }
