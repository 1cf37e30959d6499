// Numeric options, checked for the ways people get them wrong: not a
// number, not finite, not whole, or outside the documented range. The
// message says which; CLI11 puts the option's name before it and the tool
// ends with ExitStatus::Usage.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

CLI::Validator wholeNumberFrom(std::int64_t lowest, std::int64_t highest);
CLI::Validator numberFrom(double lowest, double highest);

// A number as people write it: 10, 2.5, 0.1.
std::string numberText(double number);
