// --set NAME_OR_INDEX=VALUE: setting a parameter the way a user names it.
//
// The parameter is a number (its index) or its name, ignoring case; a name
// the plugin cut to a host's text limit may be given in full.
//
// The value is read by these rules, in order:
//   1. a plain number from 0 to 1 is the normalised value a host sends;
//   2. a number followed by the parameter's unit label ("-6dB", "0 dB"), or
//      a plain number outside 0 to 1 ("-6"), is in the plugin's own units:
//      the normalised value whose display shows that number, to the
//      display's precision, is searched for;
//   3. anything else is a display text ("mute", "pass through all busses"):
//      the normalised value showing it is searched for; a display the plugin
//      cut short may be named by the full text.
#pragma once

#include <cstdint>
#include <string>

#include "plugin_session.h"

struct ParameterAssignment {
  std::string parameter;
  std::string value;
};

// Splits at the first '='. Throws ToolError (ExitStatus::Usage) without one.
ParameterAssignment parseAssignment(const std::string& text);

// Throws ToolError (ExitStatus::Parameter) for an unknown or ambiguous
// parameter and for a value no setting reaches.
std::int32_t parameterIndex(PluginSession& session, const std::string& nameOrIndex);
ParameterState applyAssignment(PluginSession& session, const ParameterAssignment& assignment);
