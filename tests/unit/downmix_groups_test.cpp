// The downmixer's group form against the plain per-sample section frame by
// frame: the same bits in every output, channel variable and input variable,
// over block lengths that leave every remainder, settings on both sides of
// every bound of the range check, in place and not, misaligned, both sample
// types, two blocks in a row, each set of lanes' forms on their own (the
// portable lanes' on every processor), and with flush-to-zero set where the
// processor has it. Guards around every buffer must stay untouched.
#include "effect/downmix_groups.h"

#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "effect/tovra_effect.h"
#include "plugin_host/channel_buffers.h"
#include "runtime/block_loop.h"

namespace {

constexpr std::int32_t kChannels = TTovraEffect::kChannelCount;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kBound = 18446744073709551616.0;  // 2^64
constexpr double kPositiveZero = 0.0;

struct Setting {
  const char* name;
  std::vector<std::pair<int, double>> controls;  // value number, value
};

std::vector<Setting> settings() {
  std::vector<Setting> all = {
      {"defaults", {}},
      {"levels, mutes, master", {{1, -6}, {2, -12}, {3, -3}, {5, 1}, {7, 4.5}, {8, 1}}},
      {"levels and master, busses passed", {{1, -6}, {2, -12}, {3, -3}, {7, 4.5}, {8, 1}}},
      {"routing restored as -0", {{1, -6}, {8, -0.0}}},
      {"routing restored just above 1", {{8, std::nextafter(1.0, 2.0)}}},
      {"a mute restored just above 0", {{6, 1.2e-16}}},
      {"restored mutes between 0 and 1",
       {{1, -6}, {2, -2.5}, {3, 3.3}, {4, 0.3}, {5, 0.77}, {6, -0.1}, {7, -1.7}, {8, 0.6}}},
      {"a factor of exactly 2^64", {{8, kBound}, {4, 1 - kBound}}},
      {"a factor just beyond 2^64", {{8, std::nextafter(kBound, kInf)}}},
      {"a factor just beyond -2^64", {{8, std::nextafter(-kBound, -kInf)}}},
      {"restored levels of 800 dB and more", {{1, 800}, {2, 6000}, {7, 6000}, {8, 1e300}}},
      {"restored values of -1e300", {{4, 1e300}, {8, -1e300}}},
      {"NaN and infinite restored values", {{1, kNaN}, {4, kInf}, {7, -kInf}, {8, kNaN}}},
  };
  // Each factor alone far beyond the bound (levels and master at 6000 dB, a
  // mute restored as -1e300, the routing value 1e300), so that the range
  // check must look at every one of them.
  const std::pair<int, double> alone[] = {{1, 6000},   {2, 6000},   {3, 6000}, {4, -1e300},
                                          {5, -1e300}, {6, -1e300}, {7, 6000}, {8, 1e300}};
  for (const auto& control : alone) all.push_back({"one factor beyond the bound", {control}});
  return all;
}

const std::vector<Setting> kSettings = settings();

const std::int32_t kLengths[] = {0,  1,  2,  3,  4,  5,   7,   8,   9,    15,   16,   17,
                                 31, 32, 33, 63, 64, 255, 256, 257, 1000, 4095, 4096, 4097};

// Waves of every size, with the values that test the edges: NaN, infinities,
// the largest float, a double beyond the float range, denormals and -0.
template <typename Sample>
void fillSignal(ChannelBuffers<Sample>& buffers, std::int32_t seed) {
  const Sample specials[] = {static_cast<Sample>(kNaN),
                             static_cast<Sample>(kInf),
                             static_cast<Sample>(-kInf),
                             std::numeric_limits<Sample>::max(),
                             static_cast<Sample>(sizeof(Sample) == 8 ? 1e300 : -3e38),
                             std::numeric_limits<Sample>::denorm_min(),
                             static_cast<Sample>(-0.0)};
  buffers.fillWith([seed, &specials](std::size_t channel, std::int32_t frame) {
    const auto c = static_cast<std::int32_t>(channel);
    if ((frame * 7 + c * 3 + seed) % 23 == 0) return specials[(frame + c + seed) % 7];
    return static_cast<Sample>(std::sin(0.05 * (frame + seed) * (c + 1)) * (c + 1) * 1.7);
  });
}

void configure(TTovraEffect& effect, const Setting& setting) {
  for (const auto& [number, value] : setting.controls) effect.setControlValue(number, value);
  effect.resume();
}

template <typename Sample>
bool sameBits(const Sample* a, const Sample* b, std::int32_t count) {
  return std::memcmp(a, b, static_cast<std::size_t>(count) * sizeof(Sample)) == 0;
}

template <typename Sample>
void expectSameOutputs(ChannelBuffers<Sample>& fast, ChannelBuffers<Sample>& plain,
                       std::int32_t frames) {
  for (std::size_t c = 0; c < static_cast<std::size_t>(kChannels); ++c)
    EXPECT_TRUE(sameBits(fast.pointers()[c], plain.pointers()[c], frames)) << "output " << c;
  EXPECT_TRUE(fast.guardsIntact());
  EXPECT_TRUE(plain.guardsIntact());
}

void expectSameVariables(const TTovraEffect& fast, const TTovraEffect& plain) {
  EXPECT_TRUE(sameBits(fast.channels.data(), plain.channels.data(),
                       static_cast<std::int32_t>(fast.channels.size())));
  const auto fastInputs = fast.inputVariables();
  const auto plainInputs = plain.inputVariables();
  EXPECT_TRUE(sameBits(fastInputs.data(), plainInputs.data(), kChannels));
}

// One row of the table: how the buffers are laid out and which path runs.
struct Layout {
  bool inPlace;
  std::size_t offset;
};

// The buffers a block reads and writes: separate inputs and outputs, or one
// set for both.
template <typename Sample>
struct Block {
  Block(std::int32_t frames, const Layout& layout, std::int32_t seed)
      : inputs(kChannels, frames, Sample{}, layout.offset),
        outputs(kChannels, frames, Sample{}, layout.offset + 1),
        inPlace(layout.inPlace) {
    fillSignal(inputs, seed);
  }
  Sample** in() { return inputs.pointers(); }
  Sample** out() { return inPlace ? inputs.pointers() : outputs.pointers(); }
  ChannelBuffers<Sample>& written() { return inPlace ? inputs : outputs; }

  ChannelBuffers<Sample> inputs;
  ChannelBuffers<Sample> outputs;
  bool inPlace;
};

// The dispatched path, as hosts reach it, twice in a row, against the
// frame-by-frame section reached through the base class.
template <typename Sample>
void expectBlockLoopExact(const Setting& setting, std::int32_t frames, const Layout& layout) {
  TTovraEffect fast;
  TTovraEffect plain;
  configure(fast, setting);
  configure(plain, setting);
  for (std::int32_t block = 0; block < 2; ++block) {
    Block<Sample> fastIo(frames + block, layout, block);
    Block<Sample> plainIo(frames + block, layout, block);
    runBlock(fast, fastIo.in(), fastIo.out(), frames + block, kChannels);
    runBlock(static_cast<TTovra&>(plain), plainIo.in(), plainIo.out(), frames + block, kChannels);
    expectSameOutputs(fastIo.written(), plainIo.written(), frames + block);
    expectSameVariables(fast, plain);
  }
}

bool factorsBounded(const DownmixFactors& f) {
  for (double factor : {f.pairGain1, f.pairGain2, f.pairGain3, f.pairOn1, f.pairOn2, f.pairOn3,
                        f.masterGain, f.busPass})
    if (!(std::fabs(factor) <= kBound)) return false;
  return true;
}

bool factorsRoutine(const DownmixFactors& f) {
  const bool busExact =
      std::memcmp(&f.busPass, &kPositiveZero, sizeof(double)) == 0 || f.busPass == 1.0;
  return f.pairOn1 == 1.0 && f.pairOn2 == 1.0 && f.pairOn3 == 1.0 && busExact;
}

// The forms that may run with these factors, by name.
template <typename Sample>
std::vector<std::pair<const char*, DownmixGroups<Sample>>> formsFor(const DownmixGroupForms& forms,
                                                                    const DownmixFactors& f) {
  const bool bounded = factorsBounded(f);
  const bool routine = factorsRoutine(f);
  if constexpr (std::is_same_v<Sample, float>) {
    std::vector<std::pair<const char*, DownmixGroups<float>>> all{{"general", forms.generalFloat}};
    if (bounded) all.push_back({"bounded", forms.boundedFloat});
    if (bounded && routine) all.push_back({"routine", forms.routineFloat});
    return all;
  } else {
    std::vector<std::pair<const char*, DownmixGroups<double>>> all{
        {"general", forms.generalDouble}};
    if (routine) all.push_back({"routine", forms.routineDouble});
    return all;
  }
}

// A set of lanes' forms and how many frames a group of doubles holds; a
// group of floats holds four.
struct InstructionSet {
  const char* name;
  DownmixGroupForms forms;
  std::int32_t frames;
};

// Every set of lanes this build has, and the portable lanes.
std::vector<InstructionSet> instructionSets() {
  std::vector<InstructionSet> sets{{"portable", downmixGroupFormsPortable(), 2}};
#if defined(TRIMIXER_LANES_SSE2)
  sets.push_back({"SSE2", downmixGroupFormsSse2(), 2});
#endif
#if defined(TRIMIXER_LANES_AVX2)
  if (__builtin_cpu_supports("avx2")) sets.push_back({"AVX2", downmixGroupFormsAvx2(), 4});
#endif
#if defined(TRIMIXER_LANES_NEON)
  sets.push_back({"NEON", downmixGroupFormsNeon(), 2});
#endif
  return sets;
}

// One instruction set's group form on its own, against the section over the
// frames the groups covered.
template <typename Sample>
void expectFormExact(const InstructionSet& set, const Setting& setting, std::int32_t frames,
                     const Layout& layout) {
  TTovraEffect plain;
  configure(plain, setting);
  const DownmixFactors factors = plain.factors();
  EXPECT_EQ(factors.bounded(), factorsBounded(factors)) << "the range check";
  EXPECT_EQ(factors.routine(), factorsRoutine(factors)) << "the routine check";
  for (const auto& [formName, form] : formsFor<Sample>(set.forms, factors)) {
    SCOPED_TRACE(std::string(set.name) + ", " + formName);
    Block<Sample> fastIo(frames, layout, 0);
    Block<Sample> plainIo(frames, layout, 0);
    DownmixInputs lastInputs;
    double lastOutputs[kChannels];
    const std::int32_t done =
        form(factors, fastIo.in(), fastIo.out(), frames, lastInputs, lastOutputs);
    const std::int32_t groupFrames = std::is_same_v<Sample, float> ? 4 : set.frames;
    EXPECT_EQ(done, frames - frames % groupFrames);
    runBlock(static_cast<TTovra&>(plain), plainIo.in(), plainIo.out(), done, kChannels);
    expectSameOutputs(fastIo.written(), plainIo.written(), done);
    if (done == 0) continue;
    const auto inputs = plain.inputVariables();
    const double fastInputs[] = {lastInputs.in0, lastInputs.in1, lastInputs.in2,
                                 lastInputs.in3, lastInputs.in4, lastInputs.in5};
    EXPECT_TRUE(sameBits(fastInputs, inputs.data(), kChannels));
    EXPECT_TRUE(sameBits(lastOutputs, plain.channels.data(), kChannels));
  }
}

// Flush-to-zero and denormals-are-zero, as some hosts set them, for the
// lifetime of the object: MXCSR's FTZ and DAZ on x86, FPCR.FZ (both in one)
// on aarch64. Other processors are tested without.
class FlushToZero {
 public:
#if defined(__x86_64__) || defined(__i386__)
  static constexpr bool kAvailable = true;
  using Mode = unsigned;
  static constexpr Mode kFlushBits = 0x8040;
  static Mode mode() { return _mm_getcsr(); }
  static void setMode(Mode mode) { _mm_setcsr(mode); }
#elif defined(__aarch64__)
  static constexpr bool kAvailable = true;
  using Mode = std::uint64_t;
  static constexpr Mode kFlushBits = Mode{1} << 24;
  static Mode mode() {
    Mode mode;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(mode));
    return mode;
  }
  static void setMode(Mode mode) { __asm__ __volatile__("msr fpcr, %0" : : "r"(mode) : "memory"); }
#else
  static constexpr bool kAvailable = false;
  using Mode = int;
  static constexpr Mode kFlushBits = 0;
  static Mode mode() { return 0; }
  static void setMode(Mode) {}
#endif

  explicit FlushToZero(bool on) : saved_(mode()) {
    if (on) setMode(saved_ | kFlushBits);
  }
  ~FlushToZero() { setMode(saved_); }

 private:
  Mode saved_;
};

template <typename Sample>
void expectExactEverywhere(const std::vector<InstructionSet>& sets) {
  for (bool flushToZero : {false, FlushToZero::kAvailable}) {
    const FlushToZero mode(flushToZero);
    for (const Setting& setting : kSettings)
      for (std::int32_t frames : kLengths)
        for (const Layout layout :
             {Layout{false, 0}, Layout{true, 0}, Layout{false, 1}, Layout{true, 3}}) {
          SCOPED_TRACE(std::string(setting.name) + " (control " +
                       std::to_string(setting.controls.empty() ? 0 : setting.controls[0].first) +
                       "), " + std::to_string(frames) + " frames" +
                       (layout.inPlace ? ", in place" : "") + ", offset " +
                       std::to_string(layout.offset) + (flushToZero ? ", flush to zero" : ""));
          expectBlockLoopExact<Sample>(setting, frames, layout);
          for (const InstructionSet& set : sets)
            expectFormExact<Sample>(set, setting, frames, layout);
          if (::testing::Test::HasFailure()) return;
        }
  }
}

// One test per sample type, so that a test run may take them side by side:
// under an emulator each takes minutes.
TEST(DownmixGroups, FloatFormsMatchThePlainSectionBitForBit) {
  expectExactEverywhere<float>(instructionSets());
}

TEST(DownmixGroups, DoubleFormsMatchThePlainSectionBitForBit) {
  expectExactEverywhere<double>(instructionSets());
}

}  // namespace
