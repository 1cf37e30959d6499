// trimhost: runs a plugin library the way a host does, from the command line.
// The exit statuses are listed in tool_error.h and in the help's footer.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "demo.h"
#include "number_options.h"
#include "parameter_assignment.h"
#include "plugin_info.h"
#include "preset_commands.h"
#include "render.h"
#include "signal_cleanup.h"
#include "text_match.h"
#include "tone.h"
#include "tool_error.h"

namespace {

const char* const kCommands[] = {"demo", "info", "render", "preset", "tone", "help"};

constexpr const char* kExitStatuses =
    "Exit status: 0 done; 1 files, audio or rendering failed; 2 bad command line; 3 the plugin "
    "cannot be loaded or started or cannot do what was asked; 4 a preset is missing, corrupt or "
    "for another plugin; 5 a --set names no parameter, an ambiguous one, or an unreachable value; "
    "6 the plugin crashed; 128 + N ended by signal N (130 for Ctrl-C). A failed or interrupted "
    "run leaves no output file.";

// Where the parsed command line lands; the option texts that need converting
// are converted when their command runs.
struct Commands {
  std::string plugin;
  std::string transport = "stopped";
  bool json = false;
  std::string presetFile;
  std::string timeSignature;
  RenderOptions render;
  PluginSettings presetSettings;
  ToneOptions tone;
};

void addSettingsOptions(CLI::App& command, PluginSettings& settings) {
  // Parsed as each one is met, so that --set and --set-normalised apply in
  // the order they stand on the command line.
  const auto addAssignments = [&command, &settings](const char* name, ValueForm form,
                                                    const char* help) {
    command
        .add_option_function<std::string>(
            name,
            [&settings, form](const std::string& text) {
              settings.assignments.push_back(parseAssignment(text, form));
            },
            help)
        ->trigger_on_parse();
  };
  addAssignments("--set", ValueForm::Shown,
                 "NAME_OR_INDEX=VALUE: a number, alone (-6) or with the parameter's unit (-6dB), "
                 "is in its units when its display shows numbers; anything else is a display "
                 "text (repeatable, applied after --preset)");
  addAssignments("--set-normalised", ValueForm::Normalised,
                 "NAME_OR_INDEX=VALUE: the normalised value from 0 to 1 a host sends "
                 "(repeatable; applied after --preset, in command-line order with --set)");
  command.add_option("--preset", settings.presetFile,
                     "load this .fxp before the --set and --set-normalised values");
  command.add_flag("--force", settings.force, "load a preset made for another plugin");
}

void addFormatOptions(CLI::App& command, FormatRequest& format, const char* defaultFormat) {
  command
      .add_option(
          "--format", format.sampleFormat,
          std::string("sample format: ") + sampleFormatNames() + " (default " + defaultFormat + ")")
      ->check(CLI::Validator(
          [](std::string& name) {
            checkSampleFormatName(name);
            return std::string();
          },
          "FORMAT"));
  command.add_option("--container", format.container,
                     "container, such as wav, flac, au (default: by the output's extension; "
                     "without one, as the input)");
}

void addRender(CLI::App& app, Commands& commands) {
  RenderOptions& render = commands.render;
  CLI::App* command = app.add_subcommand("render", "run an audio file through the plugin");
  command->add_option("PLUGIN", render.plugin, "plugin library")->required();
  command->add_option("INPUT", render.input, "audio file to read")->required();
  command->add_option("OUTPUT", render.output, "audio file to write, - for standard output")
      ->required();
  addSettingsOptions(*command, render.settings);
  command->add_option("--save-preset", render.savePreset, "write the plugin's state to this .fxp");
  command->add_option("--block", render.blockSize, "frames per processing call")
      ->capture_default_str()
      ->check(wholeNumberFrom(1, 1 << 20));
  command->add_flag("--double", render.doublePrecision, "process 64-bit samples");
  command->add_option("--tempo", render.transport.tempo, "beats per minute")
      ->capture_default_str()
      ->check(numberFrom(1, 999));
  command->add_option("--time-signature", commands.timeSignature,
                      "N/D, such as 3/4 (default 4/4): N from 1 to 99, D 1, 2, 4, ... 64");
  command->add_option("--transport", commands.transport, "stopped, playing or recording")
      ->capture_default_str()
      ->check(CLI::IsMember(transportStates(), CLI::ignore_case));
  command->add_flag("--drop-extra", render.dropExtraChannels,
                    "leave out input channels beyond the plugin's inputs");
  command->add_option("--outputs", render.outputs, "write only the first N outputs")
      ->check(wholeNumberFrom(1, 64));
  addFormatOptions(*command, render.format, "the input's");
  command->callback([&commands] {
    RenderOptions& render = commands.render;
    if (!commands.timeSignature.empty())
      parseTimeSignature(commands.timeSignature, render.transport);
    render.transport.state = transportStates().at(lowerCase(commands.transport));
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
  save->add_option("FILE", commands.presetFile, "program file to write, - for standard output")
      ->required();
  addSettingsOptions(*save, commands.presetSettings);
  save->callback([&commands] {
    runPresetSave(commands.plugin, commands.presetSettings, commands.presetFile);
  });
}

void addTone(CLI::App& app, ToneOptions& tone) {
  CLI::App* command = app.add_subcommand("tone", "write a test file, one sine tone per channel");
  command->add_option("OUTPUT", tone.output, "audio file to write, - for standard output")
      ->required();
  command->add_option("--channels", tone.channels, "channels to write")
      ->capture_default_str()
      ->check(wholeNumberFrom(1, 64));
  command->add_option("--seconds", tone.seconds, "length")
      ->capture_default_str()
      ->check(numberFrom(0, 86400));
  command->add_option("--rate", tone.sampleRate, "sample rate in Hz")
      ->capture_default_str()
      ->check(wholeNumberFrom(1000, 768000));
  addFormatOptions(*command, tone.format, "float32");
  command->callback([&tone] { runTone(tone); });
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
  addTone(app, commands.tone);
  app.add_subcommand("help", "print this help, or a command's: help COMMAND")
      ->allow_extras()
      ->callback([] {});
}

int fail(ExitStatus status, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "trimhost: %s\n", message.c_str());
  return static_cast<int>(status);
}

bool isCommand(const std::string& word) {
  return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

std::string commandList() {
  std::string list;
  for (const char* command : kCommands) list += (list.empty() ? "" : ", ") + std::string(command);
  return list;
}

// "help" and "help COMMAND" print to standard output and succeed; a word
// that names no command is a usage error that lists the commands.
std::optional<int> answerWithoutParsing(CLI::App& app, int argc, char** argv) {
  if (argc < 2)
    return fail(ExitStatus::Usage,
                "a command is required: " + commandList() + " (see trimhost --help)");
  const std::string first = argv[1];
  if (first.empty() || first[0] == '-') return std::nullopt;
  if (!isCommand(first))
    return fail(ExitStatus::Usage, "unknown command '" + first + "'; the commands are " +
                                       commandList() + " (see trimhost --help)");
  if (first != "help") return std::nullopt;
  if (argc < 3) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  }
  const std::string topic = argv[2];
  if (!isCommand(topic) || topic == "help")
    return fail(ExitStatus::Usage,
                "help " + topic + ": no such command; the commands are " + commandList());
  std::fputs(app.get_subcommand(topic)->help().c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  installSignalHandlers();
  CLI::App app("Runs a VST 2.x plugin library as a host does.", "trimhost");
  app.require_subcommand(1);
  app.set_version_flag("--version", "trimhost " TRIMHOST_VERSION);
  app.footer(kExitStatuses);
  Commands commands;
  addCommands(app, commands);
  try {
    if (const std::optional<int> status = answerWithoutParsing(app, argc, argv)) return *status;
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
