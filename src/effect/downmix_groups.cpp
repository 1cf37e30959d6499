// Which groups the block loop runs: chosen once per process from the
// processor's features (AVX2 on x86-64 where present, else the baseline
// lanes of the build: SSE2 on x86, NEON on aarch64, the portable lanes
// elsewhere), and whenever the factors change by whether they are routine
// and, for float samples, bounded.
#include "effect/downmix_groups.h"

#include <cmath>

namespace {

// 2^64: see mixGroups.
constexpr double kBoundedFactor = 18446744073709551616.0;

DownmixGroupForms chooseGroupForms() {
#if defined(TRIMIXER_LANES_AVX2)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return downmixGroupFormsAvx2();
#endif
  return downmixGroupFormsBaseline();
}

// Chosen when the library is loaded, before a host can call in, so that no
// processing call pays for a first-use check.
const DownmixGroupForms kGroupForms = chooseGroupForms();

}  // namespace

// NaN fails the comparison like an unbounded factor.
bool DownmixFactors::bounded() const {
  for (double factor :
       {pairGain1, pairGain2, pairGain3, pairOn1, pairOn2, pairOn3, masterGain, busPass})
    if (!(std::fabs(factor) <= kBoundedFactor)) return false;
  return true;
}

// -0.0 is not routine: a positive input times -0.0 is -0.0, not a zero of
// the input's sign.
bool DownmixFactors::routine() const {
  const bool busExact = busPass == 1.0 || (busPass == 0.0 && !std::signbit(busPass));
  return pairOn1 == 1.0 && pairOn2 == 1.0 && pairOn3 == 1.0 && busExact;
}

void TTovraEffect::setFactors(const DownmixFactors& factors) {
  factors_ = factors;
  const bool bounded = factors.bounded();
  const bool routine = factors.routine();
  floatGroups_ = !bounded  ? kGroupForms.generalFloat
                 : routine ? kGroupForms.routineFloat
                           : kGroupForms.boundedFloat;
  doubleGroups_ = routine ? kGroupForms.routineDouble : kGroupForms.generalDouble;
}

std::int32_t TTovraEffect::runGroups(float* const* inputs, float* const* outputs,
                                     std::int32_t frames) {
  return floatGroups_(factors_, inputs, outputs, frames, inputs_, channels.data());
}

std::int32_t TTovraEffect::runGroups(double* const* inputs, double* const* outputs,
                                     std::int32_t frames) {
  return doubleGroups_(factors_, inputs, outputs, frames, inputs_, channels.data());
}
