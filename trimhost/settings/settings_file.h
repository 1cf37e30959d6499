// Settings files for --set-file, as `trimhost params` writes them: one
// NAME_OR_INDEX=VALUE line per parameter, read as --set reads its values,
// with blank lines and lines starting with '#' left out. A value written
// "normalised 0.300000012" is the normalised value itself, as
// --set-normalised takes it: some displays are too coarse to carry a value
// exactly, and a file read back must set what was saved.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "trimhost/cli/tool_error.h"
#include "trimhost/settings/parameter_assignment.h"

// One assignment, and where it stands ("FILE:LINE") for messages.
struct SettingsLine {
  std::string where;
  ParameterAssignment assignment;
};

struct SettingsFile {
  std::string path;
  std::vector<SettingsLine> lines;
};

// Nothing for a blank line or a comment. Throws ToolError
// (ExitStatus::Usage) for a line without a name and '=', and for a marked
// normalised value that is not a number from 0 to 1.
std::optional<ParameterAssignment> parseSettingsLine(const std::string& line);

// The value text that stands for a normalised value, to the float's last digit.
std::string normalisedValueText(float normalised);

// The lines of a settings file read from `in`; messages name it by `path`.
// Throws ToolError (ExitStatus::Usage), naming the file and line, for a line
// it cannot parse.
SettingsFile readSettings(std::istream& in, const std::string& path);

// Throws ToolError: ExitStatus::Failure when the file cannot be read, and
// ExitStatus::Usage as readSettings does. Warns when the file sets nothing.
SettingsFile readSettingsFile(const std::string& path);

// Runs the action; a ToolError it throws comes back with `where` in front.
template <typename Action>
auto locatedAt(const std::string& where, Action action) {
  try {
    return action();
  } catch (const ToolError& error) {
    throw ToolError(error.status, where + ": " + error.what());
  }
}
