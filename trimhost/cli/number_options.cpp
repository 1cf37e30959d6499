#include "trimhost/cli/number_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

namespace {

std::optional<double> parsedNumber(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == text.c_str() || *end != '\0') return std::nullopt;
  return value;
}

template <typename Number>
std::string rangeText(Number lowest, Number highest) {
  std::ostringstream text;
  text << "from " << lowest << " to " << highest;
  return text.str();
}

// Empty when the text is a number in the range; else why not.
std::string numberProblem(const std::string& text, double lowest, double highest, bool whole,
                          const std::string& range) {
  const std::optional<double> value = parsedNumber(text);
  if (!value) return "'" + text + "' is not a number";
  if (!std::isfinite(*value)) return "'" + text + "' is not a finite number";
  if (whole && *value != std::trunc(*value)) return "'" + text + "' is not a whole number";
  if (*value < lowest || *value > highest) return text + " is out of range: " + range;
  return "";
}

}  // namespace

CLI::Validator wholeNumberFrom(std::int64_t lowest, std::int64_t highest) {
  const std::string range = rangeText(lowest, highest);
  return CLI::Validator(
      [=](std::string& text) {
        return numberProblem(text, static_cast<double>(lowest), static_cast<double>(highest), true,
                             range);
      },
      "WHOLE NUMBER " + range);
}

CLI::Validator numberFrom(double lowest, double highest) {
  const std::string range = rangeText(lowest, highest);
  return CLI::Validator(
      [=](std::string& text) { return numberProblem(text, lowest, highest, false, range); },
      "NUMBER " + range);
}

std::string numberText(double number) {
  std::ostringstream text;
  text << number;
  return text.str();
}
