// trimhost render PLUGIN INPUT... --output-dir DIR: many files with the same
// settings, each rendered in a process of its own, so that a plugin that
// crashes on one file costs only that file.
#pragma once

#include <string>
#include <vector>

#include "trimhost/commands/render.h"

struct BatchOptions {
  RenderOptions render;  // the settings for every file; input and output are set per file
  std::vector<std::string> inputs;
  std::size_t group = 0;  // --group N: every N consecutive inputs merged into one output; 0: none
  std::string outputDir;
  int jobs = 0;  // files rendered at once; 0 for one per processor
  bool failFast = false;
  bool skipExisting = false;  // inputs whose output exists are left out
  bool dryRun = false;        // the checks and the plan, nothing rendered
};

// The output of `input` in `outputDir`: its name with the extension that
// --container or a codec's --format asks for, else its own.
std::string batchOutputPath(const std::string& input, const std::string& outputDir,
                            const FormatRequest& format);

// What each render of the batch reads: an input alone, or with --group N
// each run of N consecutive inputs. Throws ToolError (ExitStatus::Usage)
// when N does not divide the number of inputs.
std::vector<std::vector<std::string>> inputGroups(const BatchOptions& options);

// The inputs a render of the batch merges: the group under --group, else
// none.
std::vector<std::string> mergedInputs(const BatchOptions& options,
                                      const std::vector<std::string>& group);

// Renders every input, or every group into an output named after its first
// input, and prints a line per render (with --json an object per render on
// standard output). Throws ToolError with the worst exit status of the
// renders when any failed, and ExitStatus::Usage before rendering anything
// when two renders would share an output or an output exists that may not
// be replaced. A dry run makes the same checks and prints a line per render.
void runBatch(const BatchOptions& options);
