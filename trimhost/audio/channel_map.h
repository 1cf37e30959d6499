// --map: which input channel feeds each of the plugin's inputs, in the
// spirit of sox's remix. Input channels are counted across the merged
// files, from 1; 0 is silence.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where a plugin input takes its samples from: an input channel counted
// from 0, or kSilence.
constexpr int kSilence = -1;

// "1,1,2,2,0": one entry per plugin input. Throws ToolError
// (ExitStatus::Usage) for an entry that is no whole number from 0, and for
// an empty list.
std::vector<int> parseChannelMap(const std::string& text);

// The source of each of the plugin's inputs. Without a map, input channel k
// feeds plugin input k, and inputs beyond the channels are silent. With one,
// the map's entries feed the first inputs and the rest are silent. Throws
// ToolError (ExitStatus::Usage) for a map with more entries than the plugin
// has inputs, or naming a channel beyond the inputs' channels.
std::vector<int> pluginInputSources(const std::vector<int>& map, std::size_t inputChannels,
                                    std::size_t pluginInputs);
