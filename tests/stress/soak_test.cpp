// A long run of one instance under random host actions between blocks of
// random sizes, with short-lived instances coming and going beside it: any
// parameter index and value, chunks valid, random, truncated and overlong,
// saves, texts, renames and switching. Every choice comes from one seed, so a
// failing run repeats exactly.
//
// The double path stores every output through the NaN and infinity rule, so
// its outputs are always finite. The float path writes the same values rounded
// to float, a mix beyond the float range (which controls far outside their
// ranges produce) as the largest float of its sign: finite too.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "heap_usage.h"
#include "mix_reference.h"
#include "plugin_under_test.h"
#include "state_chunks.h"
#include "stress_support.h"

namespace {

constexpr std::uint32_t kSeed = 20240611;
constexpr std::int64_t kDefaultBlocks = 300000;
constexpr std::int32_t kLongestBlock = 256;
constexpr double kNewInstanceChance = 0.02;
constexpr double kExoticInputShare = 0.01;
// Channels start this many samples off the allocator's alignment at most.
constexpr std::int32_t kMostMisalignment = 3;
// Between warm-up and end the heap may differ by what the long-lived instance
// and host keep for their last actions: the state stream holds the last
// chunk loaded or saved, the program name the last one set, the host log's
// capacity the calls of one switch-on.
constexpr std::size_t kHeapMargin = 64 * 1024;

using Check = ::testing::AssertionResult;

float anyFloat(Random& random) {
  const float sign = chance(random, 0.5) ? 1.0f : -1.0f;
  switch (uniformInt(random, 0, 9)) {
    case 0:
      return std::numeric_limits<float>::quiet_NaN();
    case 1:
      return sign * std::numeric_limits<float>::infinity();
    case 2:
      return sign * std::numeric_limits<float>::max();
    case 3:
      return sign * std::numeric_limits<float>::denorm_min();
    case 4:
      return sign * static_cast<float>(std::pow(10.0, uniformReal(random, -38.0, 38.0)));
    case 5:
      return static_cast<float>(uniformReal(random, -200.0, 20.0));
    default:
      return static_cast<float>(uniformReal(random, 0.0, 1.0));
  }
}

std::vector<float> anyFloats(Random& random, std::size_t count) {
  std::vector<float> floats(count);
  for (float& value : floats) value = anyFloat(random);
  return floats;
}

std::int32_t anyParameterIndex(Random& random) {
  if (chance(random, 0.8)) return uniformInt(random, 0, kParameterCount - 1);
  const std::int32_t outOfRange[] = {-1,
                                     kParameterCount,
                                     127,
                                     128,
                                     std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()};
  return outOfRange[uniformInt(random, 0, 5)];
}

Chunk anyBytes(Random& random) {
  Chunk bytes(static_cast<std::size_t>(uniformInt(random, 0, 300)));
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(uniformInt(random, 0, 255));
  if (bytes.size() >= kMarkerBytes.size() && chance(random, 0.5)) {
    std::copy(kMarkerBytes.begin(), kMarkerBytes.end(), bytes.begin());
  }
  return bytes;
}

std::string anyProgramName(Random& random) {
  return std::string(static_cast<std::size_t>(uniformInt(random, 0, 1000)),
                     static_cast<char>(uniformInt(random, 'a', 'z')));
}

Check wellFormedSave(const Chunk& saved) {
  if (saved.size() == kSavedChunkSize && startsWithMarker(saved)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "a save of " << saved.size() << " bytes "
         << (startsWithMarker(saved) ? "with" : "without") << " the marker";
}

struct SoakCounts {
  std::int64_t instances = 1;
  std::int64_t parameterChanges = 0;
  std::int64_t loads = 0;
  std::int64_t saves = 0;
};

class Soak {
 public:
  explicit Soak(std::uint32_t seed) : random_(seed), noise_(random_, kExoticInputShare) {}

  // Up to three host actions, then one block through both paths; now and
  // then a short-lived instance beside the long-lived one.
  Check step(PluginInstance& plugin, RecordingHost& host) {
    for (std::int32_t actions = uniformInt(random_, 0, 3); actions > 0; --actions) {
      const Check acted = act(plugin, host);
      if (!acted) return acted;
    }
    const Check processed = processBlock(plugin, host);
    if (!processed || !chance(random_, kNewInstanceChance)) return processed;
    return shortLivedInstance();
  }

  const SoakCounts& counts() const { return counts_; }

 private:
  Check act(PluginInstance& plugin, RecordingHost& host) {
    switch (uniformInt(random_, 0, 9)) {
      case 0:
      case 1:
      case 2:
        plugin.setParameter(anyParameterIndex(random_), anyFloat(random_));
        ++counts_.parameterChanges;
        return ::testing::AssertionSuccess();
      case 3:
      case 4:
        load(plugin);
        return ::testing::AssertionSuccess();
      case 5:
      case 6:
        return save(plugin);
      case 7:
        return readAnyText(plugin);
      case 8: {
        const std::string name = anyProgramName(random_);
        plugin.dispatch(effSetProgramName, 0, 0, const_cast<char*>(name.c_str()));
        return ::testing::AssertionSuccess();
      }
      default:
        plugin.dispatch(effMainsChanged, 0, chance(random_, 0.5) ? 1 : 0);
        host.clearCalls();
        return ::testing::AssertionSuccess();
    }
  }

  void load(PluginInstance& plugin) {
    loadInto(plugin, anyChunk());
    ++counts_.loads;
  }

  Check save(PluginInstance& plugin) {
    lastSaved_ = saveFrom(plugin);
    ++counts_.saves;
    return wellFormedSave(lastSaved_);
  }

  // Valid, saved before, truncated, random or overlong.
  Chunk anyChunk() {
    switch (uniformInt(random_, 0, 4)) {
      case 0:
        return chunkOf(anyFloats(random_, kSavedValueCount));
      case 1:
        return lastSaved_;
      case 2: {
        Chunk whole = chance(random_, 0.5) ? lastSaved_ : savedChunkOf(anyFloats(random_, 8));
        whole.resize(static_cast<std::size_t>(uniformInt(random_, 0, kSavedChunkSize - 1)));
        return whole;
      }
      case 3:
        return anyBytes(random_);
      default:
        return chunkOf(anyFloats(random_, static_cast<std::size_t>(uniformInt(random_, 65, 128))));
    }
  }

  Check readAnyText(PluginInstance& plugin) {
    const bool ofParameter = chance(random_, 0.75);
    const TextOpcode& text = ofParameter ? kParameterTexts[uniformInt(random_, 0, 2)]
                                         : kInstanceTexts[uniformInt(random_, 0, 3)];
    const std::int32_t index = ofParameter ? anyParameterIndex(random_) : 0;
    if (plugin.readText(text.opcode, text.limit, index).restUntouched()) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "the " << text.what << " text for index " << index << " broke its limit";
  }

  // The same inputs through the float path, then the double path; either may
  // run in place, and on channels that start off the allocator's alignment.
  Check processBlock(PluginInstance& plugin, RecordingHost& host) {
    const std::int32_t frames = uniformInt(random_, 0, kLongestBlock);
    const std::size_t offset = noise_.anyOffset(random_);
    const ChannelBuffers<float> floats = processed<float>(plugin, frames, offset);
    const ChannelBuffers<double> doubles = processed<double>(plugin, frames, offset);
    // The log would otherwise grow by four time requests per call.
    host.clearCalls();
    return pathsAgree(floats, doubles);
  }

  template <typename Sample>
  ChannelBuffers<Sample> processed(PluginInstance& plugin, std::int32_t frames,
                                   std::size_t offset) {
    ChannelBuffers<Sample> inputs =
        noise_.block<Sample>(kChannelCount, frames, offset, anyMisalignment());
    if (chance(random_, 0.25)) {
      plugin.process(inputs, inputs);
      return inputs;
    }
    ChannelBuffers<Sample> outputs(kChannelCount, frames, Sample{0.25}, anyMisalignment());
    plugin.process(inputs, outputs);
    return outputs;
  }

  std::size_t anyMisalignment() {
    return static_cast<std::size_t>(uniformInt(random_, 0, kMostMisalignment));
  }

  static Check intactGuards(const ChannelBuffers<float>& floats,
                            const ChannelBuffers<double>& doubles) {
    const std::pair<const char*, std::optional<GuardHit>> paths[] = {
        {"float", floats.firstGuardHit()}, {"double", doubles.firstGuardHit()}};
    for (const auto& [path, hit] : paths) {
      if (hit) {
        return ::testing::AssertionFailure()
               << "the " << path << " path wrote a guard sample: " << hit->describe();
      }
    }
    return ::testing::AssertionSuccess();
  }

  Check pathsAgree(const ChannelBuffers<float>& floats, const ChannelBuffers<double>& doubles) {
    const Check guarded = intactGuards(floats, doubles);
    if (!guarded) return guarded;
    for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
      for (std::int32_t frame = 0; frame < floats.frames(); ++frame) {
        const double wide = doubles.at(channel, frame);
        const float narrow = floats.at(channel, frame);
        if (!std::isfinite(wide) || !std::isfinite(narrow) || narrow != hostSample<float>(wide)) {
          return ::testing::AssertionFailure()
                 << "output " << channel << ", frame " << frame << ": double path " << wide
                 << ", float path " << narrow;
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  // Created, maybe switched on, loaded, saved, used for one block, closed.
  Check shortLivedInstance() {
    RecordingHost host;
    PluginInstance plugin(host, vstPluginMain());
    ++counts_.instances;
    if (chance(random_, 0.5)) switchOn(plugin, host);
    load(plugin);
    const Check saved = save(plugin);
    return saved ? processBlock(plugin, host) : saved;
  }

  Random random_;
  NoiseTable noise_;
  Chunk lastSaved_;
  SoakCounts counts_;
};

std::string describeHeap(const std::optional<std::size_t>& bytes) {
  return bytes ? std::to_string(*bytes) + " bytes" : "not measured here";
}

TEST(Soak, StaysFiniteWellFormedAndFlatUnderRandomHostActions) {
  const std::int64_t blocks = workloadFromEnvironment("TRIMIXER_SOAK_BLOCKS", kDefaultBlocks);
  const std::int64_t warmUpBlocks = blocks / 10;
  Soak soak(kSeed);
  RecordingHost host;
  PluginInstance plugin(host, vstPluginMain());
  switchOn(plugin, host);

  std::optional<std::size_t> heapAfterWarmUp;
  for (std::int64_t block = 0; block < blocks; ++block) {
    if (block == warmUpBlocks) heapAfterWarmUp = heapBytesInUse();
    ASSERT_TRUE(soak.step(plugin, host)) << "block " << block << " of the run seeded " << kSeed;
  }
  const std::optional<std::size_t> heapAtEnd = heapBytesInUse();

  const SoakCounts& counts = soak.counts();
  std::cout << blocks << " blocks, " << counts.instances << " instances, "
            << counts.parameterChanges << " parameter changes, " << counts.loads << " loads, "
            << counts.saves << " saves; heap after warm-up " << describeHeap(heapAfterWarmUp)
            << ", at end " << describeHeap(heapAtEnd) << '\n';
  if (heapAfterWarmUp && heapAtEnd) {
    EXPECT_LE(*heapAtEnd, *heapAfterWarmUp + kHeapMargin);
  }
}

}  // namespace
