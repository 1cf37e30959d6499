// --set and --set-normalised NAME_OR_INDEX=VALUE: setting a parameter the way
// a user names it.
//
// The parameter is a number (its index) or its name, ignoring case; a name
// the plugin cut to a host's text limit may be given in full.
//
// A --set-normalised value is the normalised value a host sends, from 0 to 1.
// A --set value is read by these rules, in order:
//   1. a plain number ("-6", "1"), or one followed by the parameter's unit
//      label ("-6dB", "0 dB"), is in the plugin's own units when the display
//      shows numbers: the normalised value whose display shows that number,
//      to the display's precision, is searched for;
//   2. anything else, and a number for a display that shows no numbers, is a
//      display text ("mute", "pass through all busses"): the normalised value
//      showing it is searched for; a display the plugin cut short may be
//      named by the full text.
// A plain number is never taken as normalised: "master level=1" meaning +9 dB
// and "level stereo 1=0" meaning -167 dB surprised users at full volume.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "trimhost/plugin/plugin_session.h"

// Which option the value came with: --set (Shown) or --set-normalised.
enum class ValueForm { Shown, Normalised };

struct ParameterAssignment {
  std::string parameter;
  std::string value;
  ValueForm form;
};

struct AppliedAssignment {
  ParameterState state;
  // The request named a display the plugin cut short by a longer text.
  bool byCutDisplay;
};

// Splits at the first '='. Throws ToolError (ExitStatus::Usage) without one
// and for a normalised value that is not a number from 0 to 1.
ParameterAssignment parseAssignment(const std::string& text, ValueForm form);

// Throws ToolError (ExitStatus::Parameter) for an unknown or ambiguous
// parameter and for a value no setting reaches.
std::int32_t parameterIndex(PluginSession& session, const std::string& nameOrIndex);
AppliedAssignment applyAssignment(PluginSession& session, const ParameterAssignment& assignment);
