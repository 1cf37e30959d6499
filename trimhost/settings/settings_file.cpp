#include "trimhost/settings/settings_file.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <istream>

#include "trimhost/settings/text_match.h"

namespace {

constexpr char kNormalisedMarker[] = "normalised";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// What follows the marker word, when the value starts with it.
std::optional<std::string> afterMarker(const std::string& value) {
  const std::size_t length = std::strlen(kNormalisedMarker);
  if (value.size() <= length || lowerCase(value.substr(0, length)) != kNormalisedMarker ||
      !std::isspace(static_cast<unsigned char>(value[length]))) {
    return std::nullopt;
  }
  return value.substr(length);
}

ParameterAssignment markedAssignment(const std::string& parameter, const std::string& value,
                                     const std::string& number) {
  if (!normalisedNumber(number)) {
    throw ToolError(ExitStatus::Usage, "'" + value + "' is not a normalised value: '" +
                                           kNormalisedMarker + "' takes a number from 0 to 1");
  }
  return {parameter, trimmed(number), ValueForm::Normalised};
}

}  // namespace

std::optional<ParameterAssignment> parseSettingsLine(const std::string& line) {
  const std::string text = trimmed(line);
  if (text.empty() || text.front() == '#') return std::nullopt;
  const auto equals = text.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw ToolError(ExitStatus::Usage, "'" + text +
                                           "': expected NAME_OR_INDEX=VALUE, or "
                                           "NAME_OR_INDEX=normalised NUMBER");
  }
  const std::string parameter = trimmed(text.substr(0, equals));
  const std::string value = trimmed(text.substr(equals + 1));
  if (const std::optional<std::string> number = afterMarker(value))
    return markedAssignment(parameter, value, *number);
  return ParameterAssignment{parameter, value, ValueForm::Shown};
}

std::string normalisedValueText(float normalised) {
  char number[32];
  std::snprintf(number, sizeof number, "%.9g", static_cast<double>(normalised));
  return std::string(kNormalisedMarker) + " " + number;
}

SettingsFile readSettings(std::istream& in, const std::string& path) {
  SettingsFile file{path, {}};
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    // Editors on some systems start a UTF-8 file with a byte-order mark.
    if (number == 1 && line.rfind(kByteOrderMark, 0) == 0) line.erase(0, sizeof kByteOrderMark - 1);
    const std::string where = path + ":" + std::to_string(number);
    if (const auto assignment = locatedAt(where, [&line] { return parseSettingsLine(line); }))
      file.lines.push_back({where, *assignment});
  }
  return file;
}
