// Reads arbitrary bytes as a settings file, as trimhost reads a --set-file
// (readSettings). The parser accepts them, or refuses with a ToolError of
// usage whose message starts with "PATH:LINE: " for a line the input has;
// nothing else may leave it. Where it accepts, every assignment stands at
// "PATH:LINE", lines of the input in the order they come.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "property.h"
#include "trimhost/settings/settings_file.h"

namespace {

const std::string kPath = "fuzzed.settings";

// The lines std::getline reads: one for each newline, and a last one without.
std::size_t lineCount(const std::string& text) {
  const auto newlines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return newlines + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

struct Location {
  std::size_t line;
  std::string rest;  // what follows "PATH:LINE"
};

// "PATH:LINE" at the start of the text, with a line number the input has.
std::optional<Location> locationOf(const std::string& text, std::size_t lines) {
  const std::string prefix = kPath + ":";
  if (text.rfind(prefix, 0) != 0) return std::nullopt;
  const std::size_t end = text.find_first_not_of("0123456789", prefix.size());
  const std::string digits = text.substr(prefix.size(), end - prefix.size());
  // More digits than any line number of an input libFuzzer gives.
  if (digits.empty() || digits.size() > 9 || digits.front() == '0') return std::nullopt;
  const std::size_t line = std::stoul(digits);
  if (line > lines) return std::nullopt;
  return Location{line, end == std::string::npos ? "" : text.substr(end)};
}

void checkAccepted(const SettingsFile& file, std::size_t lines) {
  require(file.path == kPath, "the file keeps its path");
  std::size_t previous = 0;
  for (const SettingsLine& line : file.lines) {
    const std::optional<Location> location = locationOf(line.where, lines);
    require(location && location->rest.empty(), "each assignment stands at PATH:LINE");
    require(location->line > previous, "assignments come in the order of their lines");
    previous = location->line;
  }
}

void checkRefusal(const ToolError& error, std::size_t lines) {
  require(error.status == ExitStatus::Usage, "a line that cannot be read is a usage error");
  const std::optional<Location> location = locationOf(error.what(), lines);
  require(location && location->rest.rfind(": ", 0) == 0,
          "a refusal names the file and a line it has: 'PATH:LINE: '");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(data, data + size);
  const std::size_t lines = lineCount(text);
  std::istringstream in(text);
  try {
    checkAccepted(readSettings(in, kPath), lines);
  } catch (const ToolError& error) {
    checkRefusal(error, lines);
  }
  return 0;
}
