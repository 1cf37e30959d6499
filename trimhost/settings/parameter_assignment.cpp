#include "trimhost/settings/parameter_assignment.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "trimhost/cli/tool_error.h"
#include "trimhost/settings/display_search.h"
#include "trimhost/settings/text_match.h"

namespace {

// A plain number, or one followed by the parameter's unit label.
std::optional<double> numberInUnits(const std::string& text, const std::string& label) {
  const std::optional<double> number = plainNumber(text);
  const std::string value = trimmed(text);
  if (number || label.empty() || !endsWithIgnoringCase(value, label)) return number;
  return plainNumber(value.substr(0, value.size() - label.size()));
}

const char* optionName(ValueForm form) {
  return form == ValueForm::Normalised ? "--set-normalised" : "--set";
}

bool isIndex(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
}

std::int32_t checkedIndex(PluginSession& session, const std::string& text) {
  const std::int32_t count = session.record().numParams;
  const long index = std::strtol(text.c_str(), nullptr, 10);
  if (text.size() > 9 || index >= count) {
    throw ToolError(ExitStatus::Parameter,
                    "no parameter " + text + ": the plugin has " + counted(count, "parameter"));
  }
  return static_cast<std::int32_t>(index);
}

std::vector<std::string> parameterNames(PluginSession& session) {
  std::vector<std::string> names;
  for (std::int32_t index = 0; index < session.record().numParams; ++index)
    names.push_back(session.text(effGetParamName, index));
  return names;
}

DisplaySearch::Choice shownSetting(PluginSession& session, std::int32_t index,
                                   const std::string& value) {
  DisplaySearch search(session, index);
  const std::optional<double> number =
      numberInUnits(value, trimmed(session.text(effGetParamLabel, index)));
  if (number && search.displaysNumbers())
    return {search.normalisedForNumber(*number, value), false};
  return search.normalisedForText(
      value, number ? "a normalised value needs --set-normalised" : std::string());
}

DisplaySearch::Choice setting(PluginSession& session, std::int32_t index,
                              const ParameterAssignment& assignment) {
  if (assignment.form == ValueForm::Shown) return shownSetting(session, index, assignment.value);
  return {static_cast<float>(*normalisedNumber(assignment.value)), false};
}

}  // namespace

ParameterAssignment parseAssignment(const std::string& text, ValueForm form) {
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw ToolError(ExitStatus::Usage,
                    std::string(optionName(form)) + " " + text +
                        ": expected NAME_OR_INDEX=VALUE, for example 'master level=" +
                        (form == ValueForm::Normalised ? "0.5'" : "-3'"));
  }
  ParameterAssignment assignment{trimmed(text.substr(0, equals)), text.substr(equals + 1), form};
  if (form == ValueForm::Normalised && !normalisedNumber(assignment.value)) {
    throw ToolError(ExitStatus::Usage, "--set-normalised " + text + ": '" + assignment.value +
                                           "' is not a normalised value, a number from 0 to 1");
  }
  return assignment;
}

std::int32_t parameterIndex(PluginSession& session, const std::string& nameOrIndex) {
  if (isIndex(nameOrIndex)) return checkedIndex(session, nameOrIndex);
  const std::vector<std::string> names = parameterNames(session);
  const std::vector<std::size_t> named = textsNamedBy(nameOrIndex, names);
  if (named.empty()) {
    throw ToolError(ExitStatus::Parameter, "no parameter named '" + nameOrIndex +
                                               "'; the plugin has " + quotedList(names));
  }
  if (named.size() > 1) {
    std::string indices;
    for (std::size_t index : named) indices += " " + std::to_string(index);
    throw ToolError(ExitStatus::Parameter, "the parameter name '" + nameOrIndex +
                                               "' is ambiguous: it fits parameters" + indices);
  }
  return static_cast<std::int32_t>(named.front());
}

AppliedAssignment applyAssignment(PluginSession& session, const ParameterAssignment& assignment) {
  const std::int32_t index = parameterIndex(session, assignment.parameter);
  const DisplaySearch::Choice chosen = setting(session, index, assignment);
  session.plugin().setParameter(index, chosen.normalised);
  return {session.parameter(index), chosen.byCutText};
}
