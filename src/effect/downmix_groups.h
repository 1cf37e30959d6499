// The downmixer's per-sample section over groups of frames, one frame per
// SIMD lane, for any set of lane operations (runtime/lanes_*.h). Each lane
// does exactly what the scalar section does to its frame: inputs sanitised,
// products formed left to right, summed in pair order, then the master gain,
// every result sanitised. Everything here has internal linkage: each unit
// that includes it compiles its own copy for its own instruction set.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "effect/tovra_effect.h"

// Runs the groups of a block's first frames; answers the frames done. When
// it did any, the last one's sanitised inputs are in the input variables and
// its outputs in the channel variables, before the float limit.
template <typename Sample>
using DownmixGroups = std::int32_t (*)(const DownmixFactors&, Sample* const*, Sample* const*,
                                       std::int32_t, DownmixInputs&, double* channels);
static_assert(std::is_same_v<DownmixGroups<float>, TTovraEffect::FloatGroups>);
static_assert(std::is_same_v<DownmixGroups<double>, TTovraEffect::DoubleGroups>);

// The forms a set of lanes offers. Routine factors (DownmixFactors::routine)
// drop the mute products and compute the busses without arithmetic; bounded
// factors let float results go unsanitised. Bounded factors help only floats:
// a double sample may be anything up to the double range.
struct DownmixGroupForms {
  DownmixGroups<float> routineFloat;  // routine and bounded
  DownmixGroups<float> boundedFloat;
  DownmixGroups<float> generalFloat;
  DownmixGroups<double> routineDouble;
  DownmixGroups<double> generalDouble;
};

// The forms of each set of lanes, each defined by a unit of its own in the
// builds that carry it (src/CMakeLists.txt says which): SSE2 on x86; AVX2 on
// x86-64, to be called only on a processor that has it; NEON on aarch64; the
// portable lanes on any other processor, and in the x86 tests.
DownmixGroupForms downmixGroupFormsSse2();
DownmixGroupForms downmixGroupFormsAvx2();
DownmixGroupForms downmixGroupFormsNeon();
DownmixGroupForms downmixGroupFormsPortable();
// The build's baseline, the first of the sets above it carries.
DownmixGroupForms downmixGroupFormsBaseline();

namespace {

constexpr std::int32_t kDownmixChannels = TTovraEffect::kChannelCount;

// One vector per channel. (A vector type as a template argument would lose
// its alignment attribute, hence no std::array.)
template <typename Lanes>
struct ChannelVectors {
  using Vector = typename Lanes::Vector;
  Vector channel[kDownmixChannels];

  Vector& operator[](std::int32_t c) { return channel[c]; }
  const Vector& operator[](std::int32_t c) const { return channel[c]; }
};

// What the per-sample section does to the frames in one double vector per
// channel. kBounded: every factor is known to be at most 2^64 in magnitude
// and the samples are floats. A float is below 2^128, so a product of three
// factors and a sample stays below 2^320 and no result can overflow: the
// results need no sanitising. kRoutine: the factors are routine, so a
// product with a mute factor of exactly 1 is the product before it, and a
// sanitised input times a routing factor of exactly +0 or +1 is finite and,
// for float samples, a float: the busses need neither sanitising nor the
// float limit, and float busses are multiplied as floats.
template <typename Lanes, bool kBounded, bool kRoutine>
class DownmixLanes {
 public:
  using Vector = typename Lanes::Vector;
  using Channels = ChannelVectors<Lanes>;
  static constexpr bool kRoutineBusses = kRoutine;

  explicit DownmixLanes(const DownmixFactors& f)
      : gain1_(Lanes::broadcast(f.pairGain1)),
        gain2_(Lanes::broadcast(f.pairGain2)),
        gain3_(Lanes::broadcast(f.pairGain3)),
        on1_(Lanes::broadcast(f.pairOn1)),
        on2_(Lanes::broadcast(f.pairOn2)),
        on3_(Lanes::broadcast(f.pairOn3)),
        master_(Lanes::broadcast(f.masterGain)),
        bus_(Lanes::broadcast(f.busPass)),
        busFloats_(Lanes::broadcastFloats(f.busPass)) {}

  // x: the sanitised inputs.
  Channels operator()(const Channels& x) const {
    return {{pair(x[0], x[2], x[4]), pair(x[1], x[3], x[5]), bus(x[2]), bus(x[3]), bus(x[4]),
             bus(x[5])}};
  }

  // A bus of routine factors from its sanitised float samples as loaded.
  typename Lanes::Floats routineBus(typename Lanes::Floats samples) const {
    return Lanes::multiply(samples, busFloats_);
  }

 private:
  static Vector settled(Vector value) { return kBounded ? value : Lanes::finiteOrZero(value); }

  Vector pair(Vector first, Vector second, Vector third) const {
    const Vector sum = Lanes::add(Lanes::add(term(first, gain1_, on1_), term(second, gain2_, on2_)),
                                  term(third, gain3_, on3_));
    return settled(Lanes::multiply(sum, master_));
  }

  // An input times its pair's gain, then its mute factor.
  static Vector term(Vector input, Vector gain, Vector on) {
    const Vector gained = Lanes::multiply(input, gain);
    return kRoutine ? gained : Lanes::multiply(gained, on);
  }

  Vector bus(Vector input) const {
    const Vector product = Lanes::multiply(input, bus_);
    return kRoutine ? product : settled(product);
  }

  Vector gain1_, gain2_, gain3_, on1_, on2_, on3_, master_, bus_;
  typename Lanes::Floats busFloats_;
};

// Calls body(c) for every channel, unrolled. Always inlined, like handBack
// below: a vector passed to a call goes through memory.
template <typename Body, std::int32_t... Channel>
[[gnu::always_inline]] inline void eachChannel(Body&& body,
                                               std::integer_sequence<std::int32_t, Channel...>) {
  (body(Channel), ...);
}
template <typename Body>
[[gnu::always_inline]] inline void eachChannel(Body&& body) {
  eachChannel(body, std::make_integer_sequence<std::int32_t, kDownmixChannels>{});
}

// The last lane of a group: its frame's sanitised inputs and its outputs.
template <typename Lanes, typename Channels>
[[gnu::always_inline]] inline void handBack(const Channels& x, const Channels& y,
                                            DownmixInputs& lastInputs, double* lastOutputs) {
  Lanes::storeLastLane(&lastInputs.in0, x[0]);
  Lanes::storeLastLane(&lastInputs.in1, x[1]);
  Lanes::storeLastLane(&lastInputs.in2, x[2]);
  Lanes::storeLastLane(&lastInputs.in3, x[3]);
  Lanes::storeLastLane(&lastInputs.in4, x[4]);
  Lanes::storeLastLane(&lastInputs.in5, x[5]);
  eachChannel([&](std::int32_t c) { Lanes::storeLastLane(lastOutputs + c, y[c]); });
}

// One group of double samples at frame j: a vector's frames. Every input is
// read before any output is written.
template <typename Lanes, typename Mix, bool kLast>
void mixGroup(const Mix& mix, double* const* in, double* const* out, std::int32_t j,
              DownmixInputs& lastInputs, double* lastOutputs) {
  typename Mix::Channels x;
  eachChannel([&](std::int32_t c) { x[c] = Lanes::finiteOrZero(Lanes::load(in[c] + j)); });
  const auto y = mix(x);
  eachChannel([&](std::int32_t c) { Lanes::store(out[c] + j, y[c]); });
  if constexpr (kLast) handBack<Lanes>(x, y, lastInputs, lastOutputs);
}

// One group of float samples at frame j: four frames, mixed as doubles in
// one vector or, with two-lane vectors, in two halves. The lanes load and
// sanitise them as is cheaper for them: four floats in one register, or
// widened first (a float is finite exactly when its double is). Every input
// is read before any output is written.
template <typename Lanes, typename Mix, bool kLast>
void mixGroup(const Mix& mix, float* const* in, float* const* out, std::int32_t j,
              DownmixInputs& lastInputs, double* lastOutputs) {
  using Vector = typename Lanes::Vector;
  constexpr int kHalves = Lanes::kFloatHalves;
  typename Lanes::Floats samples[kDownmixChannels];
  eachChannel([&](std::int32_t c) { samples[c] = Lanes::finiteOrZero(Lanes::load(in[c] + j)); });
  typename Mix::Channels x[kHalves], y[kHalves];
  for (int half = 0; half < kHalves; ++half) {
    eachChannel([&](std::int32_t c) { x[half][c] = Lanes::widen(samples[c], half); });
    y[half] = mix(x[half]);
  }
  eachChannel([&](std::int32_t c) {
    if (Mix::kRoutineBusses && c >= 2)
      return Lanes::storeExact(out[c] + j, mix.routineBus(samples[c]));
    Vector halves[kHalves];
    for (int half = 0; half < kHalves; ++half) halves[half] = y[half][c];
    Lanes::store(out[c] + j, halves);
  });
  if constexpr (kLast) handBack<Lanes>(x[kHalves - 1], y[kHalves - 1], lastInputs, lastOutputs);
}

template <typename Lanes, typename Sample>
constexpr std::int32_t kGroupFrames =
    std::is_same_v<Sample, float> ? Lanes::kFloatHalves* Lanes::kFrames : Lanes::kFrames;

template <typename Lanes, bool kBounded, bool kRoutine, typename Sample>
std::int32_t mixGroups(const DownmixFactors& f, Sample* const* in, Sample* const* out,
                       std::int32_t frames, DownmixInputs& lastInputs, double* lastOutputs) {
  using Mix = DownmixLanes<Lanes, kBounded, kRoutine>;
  constexpr std::int32_t kFrames = kGroupFrames<Lanes, Sample>;
  static_assert((kFrames & (kFrames - 1)) == 0, "a group is a power of two frames");
  const std::int32_t whole = frames & -kFrames;
  if (whole <= 0) return 0;
  const Mix mix(f);
  std::int32_t j = 0;
  for (; j < whole - kFrames; j += kFrames)
    mixGroup<Lanes, Mix, false>(mix, in, out, j, lastInputs, lastOutputs);
  mixGroup<Lanes, Mix, true>(mix, in, out, j, lastInputs, lastOutputs);
  return whole;
}

template <typename Lanes>
constexpr DownmixGroupForms downmixGroupFormsOf() {
  return {mixGroups<Lanes, true, true, float>, mixGroups<Lanes, true, false, float>,
          mixGroups<Lanes, false, false, float>, mixGroups<Lanes, false, true, double>,
          mixGroups<Lanes, false, false, double>};
}

}  // namespace
