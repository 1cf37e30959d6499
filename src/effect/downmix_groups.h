// The downmixer's per-sample section over groups of frames, one frame per
// SIMD lane, for any set of lane operations (runtime/lanes_*.h). Each lane
// does exactly what the scalar section does to its frame: inputs sanitised,
// products formed left to right, summed in pair order, then the master gain,
// every result sanitised. Everything here has internal linkage: each unit
// that includes it compiles its own copy for its own instruction set.
#pragma once

#include <cstdint>

#include "effect/tovra_effect.h"

// Where a run of groups leaves its last frame for the hand-back: the
// sanitised inputs and the outputs, six of each, written only when it ran a
// group.
struct DownmixLastFrame {
  double* inputs;
  double* outputs;
};

template <typename Sample>
using DownmixGroups = std::int32_t (*)(const DownmixFactors&, Sample* const*, Sample* const*,
                                       std::int32_t, DownmixLastFrame&);

// The forms a set of lanes offers: bounded or general factors for float
// samples, general ones for doubles. Bounded factors help only floats: a
// double sample may be anything up to the double range.
struct DownmixGroupForms {
  DownmixGroups<float> boundedFloat;
  DownmixGroups<float> generalFloat;
  DownmixGroups<double> generalDouble;
};

// The forms of each instruction set: SSE2 everywhere; AVX2 from the unit
// compiled for it, on x86-64 only, to be called only on a processor that has it.
DownmixGroupForms downmixGroupFormsSse2();
DownmixGroupForms downmixGroupFormsAvx2();

namespace {

// kBounded: every factor is known to be at most 2^64 in magnitude and the
// samples are floats. A float is below 2^128, so a product of three factors
// and a sample stays below 2^320 and no result can overflow: the results
// need no sanitising.
template <typename Lanes, bool kBounded, typename Sample>
std::int32_t mixGroups(const DownmixFactors& f, Sample* const* in, Sample* const* out,
                       std::int32_t frames, DownmixLastFrame& last) {
  using Vector = typename Lanes::Vector;
  const Vector gain1 = Lanes::broadcast(f.pairGain1);
  const Vector gain2 = Lanes::broadcast(f.pairGain2);
  const Vector gain3 = Lanes::broadcast(f.pairGain3);
  const Vector on1 = Lanes::broadcast(f.pairOn1);
  const Vector on2 = Lanes::broadcast(f.pairOn2);
  const Vector on3 = Lanes::broadcast(f.pairOn3);
  const Vector master = Lanes::broadcast(f.masterGain);
  const Vector bus = Lanes::broadcast(f.busPass);
  const auto settled = [](Vector value) { return kBounded ? value : Lanes::finiteOrZero(value); };
  const auto pair = [&](Vector first, Vector second, Vector third) {
    const Vector sum = Lanes::add(Lanes::add(Lanes::multiply(Lanes::multiply(first, gain1), on1),
                                             Lanes::multiply(Lanes::multiply(second, gain2), on2)),
                                  Lanes::multiply(Lanes::multiply(third, gain3), on3));
    return settled(Lanes::multiply(sum, master));
  };
  const std::int32_t whole = frames - frames % Lanes::kFrames;
  Vector x0{}, x1{}, x2{}, x3{}, x4{}, x5{};
  Vector y0{}, y1{}, y2{}, y3{}, y4{}, y5{};
  for (std::int32_t j = 0; j < whole; j += Lanes::kFrames) {
    x0 = Lanes::finiteOrZero(Lanes::load(in[0] + j));
    x1 = Lanes::finiteOrZero(Lanes::load(in[1] + j));
    x2 = Lanes::finiteOrZero(Lanes::load(in[2] + j));
    x3 = Lanes::finiteOrZero(Lanes::load(in[3] + j));
    x4 = Lanes::finiteOrZero(Lanes::load(in[4] + j));
    x5 = Lanes::finiteOrZero(Lanes::load(in[5] + j));
    y0 = pair(x0, x2, x4);
    y1 = pair(x1, x3, x5);
    y2 = settled(Lanes::multiply(x2, bus));
    y3 = settled(Lanes::multiply(x3, bus));
    y4 = settled(Lanes::multiply(x4, bus));
    y5 = settled(Lanes::multiply(x5, bus));
    Lanes::store(out[0] + j, y0);
    Lanes::store(out[1] + j, y1);
    Lanes::store(out[2] + j, y2);
    Lanes::store(out[3] + j, y3);
    Lanes::store(out[4] + j, y4);
    Lanes::store(out[5] + j, y5);
  }
  if (whole > 0) {
    const Vector inputs[] = {x0, x1, x2, x3, x4, x5};
    const Vector outputs[] = {y0, y1, y2, y3, y4, y5};
    for (int c = 0; c < TTovraEffect::kChannelCount; ++c) {
      last.inputs[c] = Lanes::lastLane(inputs[c]);
      last.outputs[c] = Lanes::lastLane(outputs[c]);
    }
  }
  return whole;
}

template <typename Lanes>
constexpr DownmixGroupForms downmixGroupFormsOf() {
  return {mixGroups<Lanes, true, float>, mixGroups<Lanes, false, float>,
          mixGroups<Lanes, false, double>};
}

}  // namespace
