// Why trimhost stopped. Each kind of failure has its own exit status, so a
// script can tell a bad command line from a plugin or a preset that failed.
#pragma once

#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <string>

enum class ExitStatus : int {
  Success = 0,
  Failure = 1,
  Usage = 2,
  Plugin = 3,
  Preset = 4,
  Parameter = 5,
  Crashed = 6,
  TimedOut = 7,
};

struct ExitStatusMeaning {
  const char* status;   // as the help and docs/trimhost.md write it
  const char* meaning;  // in the help's words; the docs say it at length
};

// Every status trimhost ends with, in order: the help's footer is made from
// it, and a test holds the docs' "Exit status" table to it.
inline constexpr ExitStatusMeaning kExitStatusMeanings[] = {
    {"0", "done"},
    {"1", "files, audio or rendering failed, or list met an unreadable folder"},
    {"2", "bad command line or an ambiguous plugin name"},
    {"3",
     "no plugin has the name given, or it cannot be loaded or started or cannot do what was "
     "asked"},
    {"4",
     "a preset or bank is missing, corrupt, for another plugin or without the program asked for"},
    {"5",
     "a --set or a settings file's line names no parameter, an ambiguous one, or an unreachable "
     "value"},
    {"6", "the plugin crashed"},
    {"7", "a render went past --timeout"},
    {"128 + N", "ended by signal N (130 for Ctrl-C)"},
};
static_assert(std::size(kExitStatusMeanings) == static_cast<std::size_t>(ExitStatus::TimedOut) + 2,
              "each ExitStatus and the signals' statuses have a meaning");

struct ToolError : std::runtime_error {
  ToolError(ExitStatus status, const std::string& message)
      : std::runtime_error(message), status(status) {}

  ExitStatus status;
};
