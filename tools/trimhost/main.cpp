// trimhost: runs a plugin library the way a host does, from the command line.
//
// Exit status: 0 success, 1 files, audio or rendering failed, 2 bad command
// line, 3 the plugin cannot be loaded or started or cannot do what was asked,
// 4 a preset file is corrupt or belongs to another plugin, 5 a --set names no
// parameter, an ambiguous one, or a value the parameter cannot take.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <string>

#include "demo.h"
#include "plugin_info.h"
#include "preset_commands.h"
#include "render.h"
#include "text_match.h"
#include "tone.h"
#include "tool_error.h"

namespace {

const std::map<std::string, TransportState> kTransportStates{
    {"stopped", TransportState::Stopped},
    {"playing", TransportState::Playing},
    {"recording", TransportState::Recording}};

const std::map<std::string, SampleFormat> kSampleFormats{{"float32", SampleFormat::Float32},
                                                         {"pcm16", SampleFormat::Pcm16},
                                                         {"pcm24", SampleFormat::Pcm24}};

// Where the parsed command line lands; the option texts that need converting
// are converted when their command runs.
struct Commands {
  std::string plugin;
  std::string transport = "stopped";
  std::string format;
  bool json = false;
  std::string presetFile;
  std::string timeSignature;
  RenderOptions render;
  PluginSettings presetSettings;
  ToneOptions tone;
};

void addSettingsOptions(CLI::App& command, PluginSettings& settings) {
  command
      .add_option("--set", settings.assignments,
                  "NAME_OR_INDEX=VALUE: a value from 0 to 1 is normalised; a number with the "
                  "parameter's unit (-6dB) or outside 0 to 1 (-6) is in its units; anything "
                  "else is a display text (repeatable, applied after --preset)")
      ->allow_extra_args(false);
  command.add_option("--preset", settings.presetFile, "load this .fxp before the --set values");
  command.add_flag("--force", settings.force, "load a preset made for another plugin");
}

void addRender(CLI::App& app, Commands& commands) {
  RenderOptions& render = commands.render;
  CLI::App* command = app.add_subcommand("render", "run an audio file through the plugin");
  command->add_option("PLUGIN", render.plugin, "plugin library")->required();
  command->add_option("INPUT", render.input, "audio file to read")->required();
  command->add_option("OUTPUT", render.output, "audio file to write")->required();
  addSettingsOptions(*command, render.settings);
  command->add_option("--save-preset", render.savePreset, "write the plugin's state to this .fxp");
  command->add_option("--block", render.blockSize, "frames per processing call")
      ->capture_default_str()
      ->check(CLI::Range(1, 1 << 20));
  command->add_flag("--double", render.doublePrecision, "process 64-bit samples");
  command->add_option("--tempo", render.transport.tempo, "beats per minute")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  command->add_option("--time-signature", commands.timeSignature, "N/D, such as 3/4 (default 4/4)");
  command->add_option("--transport", commands.transport, "stopped, playing or recording")
      ->capture_default_str()
      ->check(CLI::IsMember(kTransportStates, CLI::ignore_case));
  command->add_flag("--drop-extra", render.dropExtraChannels,
                    "leave out input channels beyond the plugin's inputs");
  command->add_option("--outputs", render.outputs, "write only the first N outputs")
      ->check(CLI::PositiveNumber);
  command->add_option("--format", commands.format, "float32, pcm16 or pcm24 (default: the input's)")
      ->check(CLI::IsMember(kSampleFormats, CLI::ignore_case));
  command->callback([&commands] {
    RenderOptions& render = commands.render;
    if (!commands.timeSignature.empty())
      parseTimeSignature(commands.timeSignature, render.transport);
    render.transport.state = kTransportStates.at(lowerCase(commands.transport));
    if (!commands.format.empty()) render.format = kSampleFormats.at(lowerCase(commands.format));
    runRender(render);
  });
}

void addPreset(CLI::App& app, Commands& commands) {
  CLI::App* preset = app.add_subcommand("preset", "program files (.fxp)")->require_subcommand(1);
  CLI::App* show = preset->add_subcommand("show", "print a program file's header and contents");
  show->add_option("FILE", commands.presetFile, "program file")->required();
  show->callback([&commands] { runPresetShow(commands.presetFile); });
  CLI::App* save = preset->add_subcommand("save", "write the plugin's state after the settings");
  save->add_option("PLUGIN", commands.plugin, "plugin library")->required();
  save->add_option("FILE", commands.presetFile, "program file to write")->required();
  addSettingsOptions(*save, commands.presetSettings);
  save->callback([&commands] {
    runPresetSave(commands.plugin, commands.presetSettings, commands.presetFile);
  });
}

void addCommands(CLI::App& app, Commands& commands) {
  CLI::App* demo = app.add_subcommand("demo", "a guided look at what a host sees and hears");
  demo->add_option("PLUGIN", commands.plugin, "plugin library")->required();
  demo->callback([&commands] { runDemo(commands.plugin); });

  CLI::App* info = app.add_subcommand("info", "print what a host sees of a plugin");
  info->add_option("PLUGIN", commands.plugin, "plugin library")->required();
  info->add_flag("--json", commands.json, "print JSON");
  info->callback([&commands] { runInfo(commands.plugin, commands.json); });

  addRender(app, commands);
  addPreset(app, commands);

  ToneOptions& tone = commands.tone;
  CLI::App* toneCommand =
      app.add_subcommand("tone", "write a test file, one sine tone per channel");
  toneCommand->add_option("OUTPUT", tone.output, "audio file to write")->required();
  toneCommand->add_option("--channels", tone.channels, "channels to write")
      ->capture_default_str()
      ->check(CLI::Range(1, 64));
  toneCommand->add_option("--seconds", tone.seconds, "length")
      ->capture_default_str()
      ->check(CLI::Range(0.0, 3600.0));
  toneCommand->add_option("--rate", tone.sampleRate, "sample rate in Hz")
      ->capture_default_str()
      ->check(CLI::Range(1000, 768000));
  toneCommand->callback([&tone] { runTone(tone); });
}

int fail(ExitStatus status, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "trimhost: %s\n", message.c_str());
  return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Runs a VST 2.x plugin library as a host does.", "trimhost");
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 done; 1 files, audio or rendering failed; 2 bad command line; 3 the plugin "
      "cannot be loaded or started or cannot do what was asked; 4 a preset is corrupt or for "
      "another plugin; 5 a --set names no parameter, an ambiguous one, or an unreachable value.");
  Commands commands;
  addCommands(app, commands);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    return fail(ExitStatus::Usage, std::string(error.what()) + " (see trimhost --help)");
  } catch (const ToolError& error) {
    return fail(error.status, error.what());
  } catch (const std::exception& error) {
    return fail(ExitStatus::Failure, error.what());
  }
  return static_cast<int>(ExitStatus::Success);
}
