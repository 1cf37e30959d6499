#include "parameter_assignment.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <vector>

#include "display_search.h"
#include "text_match.h"
#include "tool_error.h"

namespace {

// The whole text as a number, blanks around it allowed.
std::optional<double> plainNumber(const std::string& text) {
  const std::string number = trimmed(text);
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (number.empty() || *end != '\0') return std::nullopt;
  return value;
}

std::optional<double> numberWithLabel(const std::string& text, const std::string& label) {
  const std::string value = trimmed(text);
  if (label.empty() || !endsWithIgnoringCase(value, label)) return std::nullopt;
  return plainNumber(value.substr(0, value.size() - label.size()));
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
    throw ToolError(ExitStatus::Parameter, "no parameter " + text + ": the plugin has " +
                                               std::to_string(count) + " parameter(s)");
  }
  return static_cast<std::int32_t>(index);
}

std::vector<std::string> parameterNames(PluginSession& session) {
  std::vector<std::string> names;
  for (std::int32_t index = 0; index < session.record().numParams; ++index)
    names.push_back(session.text(effGetParamName, index));
  return names;
}

float normalisedValue(PluginSession& session, std::int32_t index, const std::string& value) {
  const std::optional<double> number = plainNumber(value);
  if (number && *number >= 0.0 && *number <= 1.0) return static_cast<float>(*number);
  DisplaySearch search(session, index);
  const std::optional<double> inUnits =
      number ? number : numberWithLabel(value, trimmed(session.text(effGetParamLabel, index)));
  if (inUnits && search.displaysNumbers()) return search.normalisedForNumber(*inUnits, value);
  return search.normalisedForText(value);
}

}  // namespace

ParameterAssignment parseAssignment(const std::string& text) {
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw ToolError(
        ExitStatus::Usage,
        "--set " + text + ": expected NAME_OR_INDEX=VALUE, for example 'master level=-3'");
  }
  return {trimmed(text.substr(0, equals)), text.substr(equals + 1)};
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

ParameterState applyAssignment(PluginSession& session, const ParameterAssignment& assignment) {
  const std::int32_t index = parameterIndex(session, assignment.parameter);
  session.plugin().setParameter(index, normalisedValue(session, index, assignment.value));
  return session.parameter(index);
}
