// One instance of a plugin, created and opened as a host does, and closed
// (then its library, if the session loaded one, unloaded) when the session ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin_host/plugin_instance.h"
#include "plugin_host/plugin_library.h"
#include "plugin_host/recording_host.h"

// What a host shows of one parameter.
struct ParameterState {
  std::int32_t index;
  std::string name;
  std::string label;
  float normalised;
  std::string display;
};

class PluginSession {
 public:
  // Throws ToolError (ExitStatus::Plugin) when the file is missing, is no
  // loadable library, exports no entry point or makes no valid instance.
  explicit PluginSession(const std::string& path);
  // A plugin already in this process, such as one compiled into a test.
  // Throws ToolError (ExitStatus::Plugin) when it makes no valid instance.
  explicit PluginSession(PluginEntryProc entry);

  PluginInstance& plugin() { return *instance_; }
  const AEffect& record() { return instance_->record(); }
  RecordingHost& host() { return host_; }

  // A text opcode's reply read into a generous buffer: whole texts, as far
  // as the plugin gives them.
  std::string text(std::int32_t opcode, std::int32_t index = 0);

  ParameterState parameter(std::int32_t index);
  // Every parameter, in index order.
  std::vector<ParameterState> parameters();

  bool hasFlag(std::int32_t flag) { return (record().flags & flag) != 0; }

  // Sample rate and block size, which plugins may need before their settings.
  void configure(double sampleRate, std::int32_t blockSize);
  // Switching on and off.
  void resume();
  void suspend();

 private:
  void start(PluginEntryProc entry);

  std::optional<PluginLibrary> library_;
  RecordingHost host_;
  std::unique_ptr<PluginInstance> instance_;
};
