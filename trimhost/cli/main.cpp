// trimhost: runs a plugin library the way a host does, from the command line.
// The exit statuses and their meanings are the table in tool_error.h.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "trimhost/audio/channel_map.h"
#include "trimhost/cli/number_options.h"
#include "trimhost/cli/tool_error.h"
#include "trimhost/commands/batch.h"
#include "trimhost/commands/demo.h"
#include "trimhost/commands/params_command.h"
#include "trimhost/commands/plugin_info.h"
#include "trimhost/commands/plugin_list.h"
#include "trimhost/commands/preset_save.h"
#include "trimhost/commands/render.h"
#include "trimhost/commands/render_report.h"
#include "trimhost/commands/tone.h"
#include "trimhost/plugin/plugin_lookup.h"
#include "trimhost/safety/signal_cleanup.h"
#include "trimhost/settings/parameter_assignment.h"
#include "trimhost/settings/preset_commands.h"
#include "trimhost/settings/settings_file.h"
#include "trimhost/settings/text_match.h"

namespace {

const char* const kCommands[] = {"demo",   "info", "render", "preset",
                                 "params", "list", "tone",   "help"};

constexpr const char* kPluginHelp =
    "plugin library: a path, or a file name (with or without .so) or effect name looked up in "
    "VST_PATH, ~/.vst, /usr/local/lib/vst, /usr/lib/vst";

std::string exitStatusFooter() {
  std::string footer = "Exit status:";
  const char* separator = " ";
  for (const ExitStatusMeaning& row : kExitStatusMeanings) {
    footer += separator + std::string(row.status) + " " + row.meaning;
    separator = "; ";
  }
  return footer + ". A failed or interrupted run leaves no output file.";
}

// Where the parsed command line lands; the option texts that need converting
// are converted when their command runs.
struct Commands {
  std::string plugin;
  std::vector<std::string> renderFiles;  // INPUT... OUTPUT, or the inputs of a batch
  bool merge = false;
  BatchOptions batch;
  std::string transport = "stopped";
  bool json = false;
  std::string presetFile;
  std::string timeSignature;
  RenderOptions render;
  PluginSettings presetSettings;
  ExistingOutput presetSaveExisting = ExistingOutput::Refuse;
  std::string programName;  // for preset save: empty keeps the plugin's own
  PluginSettings paramsSettings;
  ToneOptions tone;
  ListOptions list;
  LookupOptions lookup;  // for the command that looks its PLUGIN up
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
  command
      .add_option_function<std::string>(
          "--set-file",
          [&settings](const std::string& file) {
            settings.settingsFiles.push_back(readSettingsFile(file));
          },
          "FILE of NAME_OR_INDEX=VALUE lines, as params prints them (repeatable; applied after "
          "--preset and before --set and --set-normalised)")
      ->trigger_on_parse();
  CLI::Option* preset = command.add_option(
      "--preset", settings.presetFile,
      "load this .fxp, or a program of this .fxb, before the --set-file, --set and "
      "--set-normalised values");
  command
      .add_option("--program", settings.program,
                  "N: the program of the --preset bank to load, numbered from 0 (default: the "
                  "bank's current program)")
      ->check(CLI::NonNegativeNumber)
      ->needs(preset);
  command.add_flag("--force", settings.force, "load a preset made for another plugin");
}

// The defaults as the command has them: a format, and the container of an
// output without an extension.
void addFormatOptions(CLI::App& command, FormatRequest& format, const char* defaultFormat,
                      const char* defaultContainer) {
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
                     std::string("container, such as wav, flac, au (default: by the output's "
                                 "extension; without one, ") +
                         defaultContainer + ")");
}

void addRescanOption(CLI::App& command, LookupOptions& lookup) {
  command.add_flag("--rescan", lookup.rescan,
                   "probe every library again rather than take the results the plugin cache "
                   "holds, and refresh them");
}

void addProbeTimeoutOption(CLI::App& command, LookupOptions& lookup, const char* help) {
  command.add_option("--timeout", lookup.seconds, help)
      ->capture_default_str()
      ->check(numberFrom(0.1, 3600));
}

// The options of a command that takes PLUGIN, for a lookup by effect name.
void addLookupOptions(CLI::App& command, LookupOptions& lookup) {
  addProbeTimeoutOption(command, lookup,
                        "seconds each library has to load and answer while PLUGIN is looked up "
                        "by effect name");
  addRescanOption(command, lookup);
}

void addOverwriteOption(CLI::App& command, ExistingOutput& existing) {
  command.add_flag_callback(
      "-y,--overwrite", [&existing] { existing = ExistingOutput::Replace; },
      "replace output files that exist (without it they are refused, and nothing is done)");
}

// Under --json every input gets its object, also when no render could start
// because the plugin was not found.
void reportEveryInputFailed(const Commands& commands, const ToolError& error) {
  const JsonOutput json;
  const int status = static_cast<int>(error.status);
  const RenderOptions& render = commands.render;
  if (commands.batch.outputDir.empty()) {
    json.print(withMergedInputs(failureJson(render.input, render.output, status, error.what()),
                                render.merged));
    return;
  }
  for (const std::vector<std::string>& group : inputGroups(commands.batch)) {
    const std::string output =
        batchOutputPath(group.front(), commands.batch.outputDir, render.format);
    json.print(withMergedInputs(failureJson(group.front(), output, status, error.what()),
                                mergedInputs(commands.batch, group)));
  }
}

// A batch merges its inputs in groups of --group; anything else is one
// render: INPUT OUTPUT, or with --merge INPUT... OUTPUT.
void placeRenderFiles(Commands& commands) {
  RenderOptions& render = commands.render;
  BatchOptions& batch = commands.batch;
  const std::vector<std::string>& files = commands.renderFiles;
  batch.inputs = files;
  if (!batch.outputDir.empty()) {
    if (commands.merge && batch.group == 0)
      throw ToolError(ExitStatus::Usage,
                      "--merge with --output-dir needs --group N, the inputs merged into each "
                      "output");
    if (!commands.merge && batch.group > 0)
      throw ToolError(ExitStatus::Usage, "--group needs --merge: it says how many inputs to merge");
    inputGroups(batch);
    return;
  }
  if (files.size() < 2 || (files.size() > 2 && !commands.merge))
    throw ToolError(ExitStatus::Usage,
                    "render takes PLUGIN INPUT OUTPUT, PLUGIN INPUT... OUTPUT --merge, or PLUGIN "
                    "INPUT... --output-dir DIR");
  if (batch.jobs != 0 || batch.failFast || batch.skipExisting || batch.dryRun || batch.group > 0)
    throw ToolError(ExitStatus::Usage,
                    "--jobs, --fail-fast, --skip-existing, --dry-run and --group go with "
                    "--output-dir");
  render.input = files.front();
  render.output = files.back();
  if (commands.merge) render.merged.assign(files.begin(), files.end() - 1);
}

// render PLUGIN INPUT OUTPUT, render PLUGIN INPUT... OUTPUT --merge, or
// render PLUGIN INPUT... --output-dir DIR.
void runRenderCommand(Commands& commands) {
  RenderOptions& render = commands.render;
  placeRenderFiles(commands);
  // A library probed to find the plugin by name gets no more time than a render.
  if (render.timeoutSeconds > 0) commands.lookup.seconds = render.timeoutSeconds;
  try {
    render.plugin = findPlugin(render.plugin, commands.lookup);
  } catch (const ToolError& error) {
    if (render.json) reportEveryInputFailed(commands, error);
    throw;
  }
  if (!commands.timeSignature.empty()) parseTimeSignature(commands.timeSignature, render.transport);
  render.transport.state = transportStates().at(lowerCase(commands.transport));
  BatchOptions& batch = commands.batch;
  if (!batch.outputDir.empty()) {
    batch.render = render;
    runBatch(batch);
    return;
  }
  runRender(render);
}

void addRender(CLI::App& app, Commands& commands) {
  RenderOptions& render = commands.render;
  CLI::App* command = app.add_subcommand(
      "render",
      "run an audio file through the plugin: render PLUGIN INPUT OUTPUT; several merged into "
      "its inputs: render PLUGIN INPUT... OUTPUT --merge; or many: render PLUGIN INPUT... "
      "--output-dir DIR");
  command->add_option("PLUGIN", render.plugin, "plugin library")->required();
  command
      ->add_option("FILES", commands.renderFiles,
                   "INPUT OUTPUT (- for standard input or output), with --merge INPUT... OUTPUT, "
                   "or with --output-dir the inputs")
      ->required();
  command->add_option("--output-dir", commands.batch.outputDir,
                      "render every INPUT into this folder, each named after its input");
  command
      ->add_option("--jobs", commands.batch.jobs,
                   "files rendered at once (default: one per "
                   "processor)")
      ->check(wholeNumberFrom(1, 1024));
  command->add_flag("--fail-fast", commands.batch.failFast,
                    "stop the batch at the first file that fails");
  addOverwriteOption(*command, render.existingOutputs);
  addRescanOption(*command, commands.lookup);
  command->add_flag("--skip-existing", commands.batch.skipExisting,
                    "leave out the inputs whose output exists, to resume a batch that stopped");
  command->add_flag("--dry-run", commands.batch.dryRun,
                    "check the inputs and their outputs, and print what would be rendered; "
                    "render nothing");
  command->add_flag("--json", render.json,
                    "print one JSON object per file on standard output, the rest on standard "
                    "error");
  addSettingsOptions(*command, render.settings);
  command->add_option("--save-preset", render.savePreset, "write the plugin's state to this .fxp");
  command->add_option("--block", render.blockSize, "frames per processing call")
      ->capture_default_str()
      ->check(wholeNumberFrom(1, 1 << 20));
  command->add_flag("--double", render.doublePrecision, "process 64-bit samples");
  command->add_flag_callback(
      "--no-latency-compensation", [&render] { render.latencyCompensation = false; },
      "keep the plugin's initial delay at the start of the output");
  command
      ->add_option("--tail", render.tailSeconds,
                   "seconds of silence rendered after the input, for sound that outlasts it")
      ->check(numberFrom(0, 3600));
  command
      ->add_option("--timeout", render.timeoutSeconds,
                   "seconds each file's render may take before it is stopped, and each library "
                   "probed to look PLUGIN up by effect name (default: no limit for a render)")
      ->check(numberFrom(0.1, 604800));
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
  command->add_flag("--merge", commands.merge,
                    "feed the plugin from every input's channels in turn (input 1's first), each "
                    "input padded with silence to the longest; the rates must match");
  command
      ->add_option(
          "--group", commands.batch.group,
          "with --merge and --output-dir: merge every N consecutive inputs into one output, "
          "named after the group's first input")
      ->check(wholeNumberFrom(1, 1024));
  command
      ->add_option_function<std::string>(
          "--map",
          [&render](const std::string& text) { render.channelMap = parseChannelMap(text); },
          "the input channel (from 1, counted across merged inputs; 0 for silence) for "
          "each plugin input, such as 1,1 or 1,1,2,2,3,3; inputs beyond the list are silent, "
          "channels it does not name are left out")
      ->type_name("LIST");
  command->add_option("--outputs", render.outputs, "write only the first N outputs")
      ->check(wholeNumberFrom(1, 64));
  addFormatOptions(*command, render.format, "the input's", "the input's");
  command->callback([&commands] { runRenderCommand(commands); });
}

void addPreset(CLI::App& app, Commands& commands) {
  CLI::App* preset =
      app.add_subcommand("preset", "program files (.fxp) and banks (.fxb)")->require_subcommand(1);
  CLI::App* show =
      preset->add_subcommand("show", "print a program file's or a bank's header and contents");
  show->add_option("FILE", commands.presetFile, "program file")->required();
  show->callback([&commands] { runPresetShow(commands.presetFile); });
  CLI::App* save = preset->add_subcommand("save", "write the plugin's state after the settings");
  save->add_option("PLUGIN", commands.plugin, kPluginHelp)->required();
  save->add_option("FILE", commands.presetFile, "program file to write, - for standard output")
      ->required();
  addSettingsOptions(*save, commands.presetSettings);
  addOverwriteOption(*save, commands.presetSaveExisting);
  save->add_option("--program-name", commands.programName,
                   "name the program so, as the plugin keeps it (it may cut it); by default the "
                   "plugin's own name for it");
  addLookupOptions(*save, commands.lookup);
  save->callback([&commands] {
    runPresetSave(findPlugin(commands.plugin, commands.lookup), commands.presetSettings,
                  commands.presetFile, commands.presetSaveExisting, commands.programName);
  });
}

void addParams(CLI::App& app, Commands& commands) {
  CLI::App* params = app.add_subcommand(
      "params", "print the parameters after the settings, as a file for --set-file");
  params->add_option("PLUGIN", commands.plugin, kPluginHelp)->required();
  addSettingsOptions(*params, commands.paramsSettings);
  addLookupOptions(*params, commands.lookup);
  params->callback([&commands] {
    runParams(findPlugin(commands.plugin, commands.lookup), commands.paramsSettings);
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
  addFormatOptions(*command, tone.format, "float32", "wav");
  addOverwriteOption(*command, tone.existingOutput);
  command->callback([&tone] { runTone(tone); });
}

void addList(CLI::App& app, ListOptions& list) {
  CLI::App* command = app.add_subcommand(
      "list", "list the plugin libraries in the search folders or in the folders given");
  command
      ->add_option("DIR", list.folders,
                   "folders to search, recursively (default VST_PATH, ~/.vst, "
                   "/usr/local/lib/vst, /usr/lib/vst)")
      ->check(CLI::ExistingDirectory);
  command->add_flag("--json", list.json, "print one JSON object per library per line");
  addProbeTimeoutOption(*command, list.probing,
                        "seconds each library has to load and answer before it is stopped");
  addRescanOption(*command, list.probing);
  command->callback([&list] { runList(list); });
}

void addCommands(CLI::App& app, Commands& commands) {
  CLI::App* demo = app.add_subcommand("demo", "a guided look at what a host sees and hears");
  demo->add_option("PLUGIN", commands.plugin, kPluginHelp)->required();
  addLookupOptions(*demo, commands.lookup);
  demo->callback([&commands] { runDemo(findPlugin(commands.plugin, commands.lookup)); });

  CLI::App* info = app.add_subcommand("info", "print what a host sees of a plugin");
  info->add_option("PLUGIN", commands.plugin, kPluginHelp)->required();
  info->add_flag("--json", commands.json, "print JSON");
  addLookupOptions(*info, commands.lookup);
  info->callback(
      [&commands] { runInfo(findPlugin(commands.plugin, commands.lookup), commands.json); });

  addList(app, commands.list);

  addRender(app, commands);
  addPreset(app, commands);
  addParams(app, commands);
  addTone(app, commands.tone);
  app.add_subcommand("help", "print this help, or a command's: help COMMAND")
      ->allow_extras()
      ->callback([] {});
}

// A failure without a message ends quietly: its status says it all.
int fail(ExitStatus status, const std::string& message) {
  std::fflush(stdout);
  if (!message.empty()) std::fprintf(stderr, "trimhost: %s\n", message.c_str());
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

// The command (or a command's command, as in "preset save") that the words
// name, as far as they name one.
CLI::App* commandNamed(CLI::App& app, int count, char** words) {
  CLI::App* command = &app;
  for (int word = 0; word < count; ++word) {
    const auto named =
        command->get_subcommands([&](CLI::App* sub) { return sub->get_name() == words[word]; });
    if (named.empty()) break;
    command = named.front();
  }
  return command;
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
  std::fputs(commandNamed(app, argc - 2, argv + 2)->help().c_str(), stdout);
  return 0;
}

// The help to point a wrong command line to: the command's own, when the
// words name one.
std::string helpHint(CLI::App& app, int argc, char** argv) {
  if (argc < 2 || !isCommand(argv[1]) || std::string(argv[1]) == "help")
    return " (see trimhost --help)";
  std::string words;
  for (CLI::App* command = commandNamed(app, argc - 1, argv + 1); command != &app;
       command = command->get_parent())
    words = " " + command->get_name() + words;
  return " (see trimhost help" + words + ")";
}

}  // namespace

int main(int argc, char** argv) {
  installSignalHandlers();
  CLI::App app("Runs a VST 2.x plugin library as a host does.", "trimhost");
  app.require_subcommand(1);
  app.set_version_flag("--version", "trimhost " TRIMHOST_VERSION);
  app.footer(exitStatusFooter());
  Commands commands;
  addCommands(app, commands);
  try {
    if (const std::optional<int> status = answerWithoutParsing(app, argc, argv)) return *status;
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    return fail(ExitStatus::Usage, std::string(error.what()) + helpHint(app, argc, argv));
  } catch (const ToolError& error) {
    return fail(error.status, error.what());
  } catch (const std::exception& error) {
    return fail(ExitStatus::Failure, error.what());
  }
  return static_cast<int>(ExitStatus::Success);
}
