#include "trimhost/audio/channel_map.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "trimhost/cli/tool_error.h"
#include "trimhost/settings/text_match.h"

namespace {

[[noreturn]] void refuse(const std::string& why) {
  throw ToolError(ExitStatus::Usage, "--map " + why);
}

int parseEntry(const std::string& entry, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long channel = std::strtol(entry.c_str(), &end, 10);
  if (entry.empty() || *end != '\0' || entry[0] == '-' || entry[0] == '+' || errno != 0 ||
      channel > 1024)
    refuse(text + ": '" + entry +
           "' is not a channel; give input channels from 1, or 0 for silence, separated by "
           "commas, such as 1,1,2,2");
  return static_cast<int>(channel);
}

}  // namespace

std::vector<int> parseChannelMap(const std::string& text) {
  std::vector<int> map;
  std::istringstream entries(text + ",");
  for (std::string entry; std::getline(entries, entry, ',');)
    map.push_back(parseEntry(entry, text));
  return map;
}

std::vector<int> pluginInputSources(const std::vector<int>& map, std::size_t inputChannels,
                                    std::size_t pluginInputs) {
  std::vector<int> sources(pluginInputs, kSilence);
  if (map.empty()) {
    for (std::size_t input = 0; input < pluginInputs && input < inputChannels; ++input)
      sources[input] = static_cast<int>(input);
    return sources;
  }
  if (map.size() > pluginInputs)
    refuse("lists " + counted(static_cast<long long>(map.size()), "channel") +
           ", the plugin takes " + counted(static_cast<long long>(pluginInputs), "input"));
  for (std::size_t input = 0; input < map.size(); ++input) {
    if (static_cast<std::size_t>(map[input]) > inputChannels)
      refuse("names channel " + std::to_string(map[input]) + ", but the inputs have " +
             counted(static_cast<long long>(inputChannels), "channel"));
    sources[input] = map[input] - 1;
  }
  return sources;
}
