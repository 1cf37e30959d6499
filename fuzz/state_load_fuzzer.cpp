// Loads arbitrary bytes as a state chunk, into a fresh instance and into one a
// host has already used. After each load the instance must still save a
// well-formed chunk holding what the load stored, and process finite input
// to finite output whenever every value it holds is finite.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "plugin_harness.h"

namespace {

constexpr std::int32_t kBlockFrames = 64;

// Normalised positions for the parameters of a used instance: every control
// away from its default.
constexpr float kMovedParameters[kParameterCount] = {0.3f, 0.6f, 0.9f,  1.0f,
                                                     0.0f, 1.0f, 0.75f, 1.0f};

void processFiniteBlocks(PluginInstance& plugin, bool outputsMustBeFinite) {
  const BlockRequest request{kBlockFrames, 1.0, false, false, outputsMustBeFinite};
  processCheckedBlock<float>(plugin, request);
  processCheckedBlock<double>(plugin, request);
}

void checkLoad(PluginInstance& plugin, const std::vector<float>& before, Chunk chunk) {
  loadChunk(plugin, chunk.data(), chunk.size());
  const SavedChunk saved = saveChunk(plugin);
  const std::vector<float> held = valuesALoadTakes(saved.bytes);
  require(sameValues(held, expectedAfterLoad(before, valuesALoadTakes(chunk))),
          "a load stores the values it holds and leaves the others");
  processFiniteBlocks(plugin, allFinite(held));
}

void checkFreshInstance(const Chunk& chunk) {
  HostedPlugin fresh;
  checkLoad(fresh.plugin, std::vector<float>(kSavedValueCount, 0.0f), chunk);
}

// Opened, switched on, every parameter moved, a block processed and saved.
std::vector<float> useLikeAHost(PluginInstance& plugin) {
  switchOn(plugin, kBlockFrames);
  for (std::int32_t index = 0; index < kParameterCount; ++index)
    plugin.setParameter(index, kMovedParameters[index]);
  processFiniteBlocks(plugin, true);
  return valuesALoadTakes(saveChunk(plugin).bytes);
}

void checkUsedInstance(const Chunk& chunk) {
  HostedPlugin used;
  const std::vector<float> before = useLikeAHost(used.plugin);
  checkLoad(used.plugin, before, chunk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An owned copy of exactly the input's size, so that reading past the byte
  // count is caught.
  const Chunk chunk(data, data + size);
  checkFreshInstance(chunk);
  checkUsedInstance(chunk);
  return 0;
}
