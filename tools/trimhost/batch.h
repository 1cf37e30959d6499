// trimhost render PLUGIN INPUT... --output-dir DIR: many files with the same
// settings, each rendered in a process of its own, so that a plugin that
// crashes on one file costs only that file.
#pragma once

#include <string>
#include <vector>

#include "render.h"

struct BatchOptions {
  RenderOptions render;  // the settings for every file; input and output are set per file
  std::vector<std::string> inputs;
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

// Renders every input and prints a line per file (with --json an object per
// file on standard output). Throws ToolError with the worst exit status of
// the files when any failed, and ExitStatus::Usage before rendering anything
// when two inputs would share an output or an output exists that may not be
// replaced. A dry run makes the same checks and prints a line per file.
void runBatch(const BatchOptions& options);
