// Why trimhost stopped. Each kind of failure has its own exit status, so a
// script can tell a bad command line from a plugin or a preset that failed.
#pragma once

#include <stdexcept>
#include <string>

enum class ExitStatus : int {
  Success = 0,
  Failure = 1,    // files, audio, rendering; a folder `list` cannot read
  Usage = 2,      // the command line itself is wrong
  Plugin = 3,     // the plugin cannot be loaded or started, or cannot do what was asked
  Preset = 4,     // a preset or bank is corrupt, for another plugin, or lacks the program
  Parameter = 5,  // a --set names no parameter, an ambiguous one, or a value out of reach
  Crashed = 6,    // the plugin (or the tool) crashed; an interruption ends with 128 + its signal
  TimedOut = 7,   // a render went past --timeout and was stopped
};

struct ToolError : std::runtime_error {
  ToolError(ExitStatus status, const std::string& message)
      : std::runtime_error(message), status(status) {}

  ExitStatus status;
};
