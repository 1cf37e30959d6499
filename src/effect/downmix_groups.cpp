// Which groups the block loop runs: chosen once per process from the
// processor's features (AVX2 on x86-64 where present, else SSE2, the baseline
// of every build), and per block by whether the factors are bounded.
#include "effect/downmix_groups.h"

#include "runtime/lanes_sse2.h"

namespace {

// 2^64: see mixGroups.
constexpr double kBoundedFactor = 18446744073709551616.0;

DownmixGroupForms chooseGroupForms() {
#if defined(TRIMIXER_HAS_AVX2_UNIT)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return downmixGroupFormsAvx2();
#endif
  return downmixGroupFormsSse2();
}

// Chosen when the library is loaded, before a host can call in, so that no
// processing call pays for a first-use check.
const DownmixGroupForms kGroupForms = chooseGroupForms();

// Two factors' magnitudes at a time against the bound, in SSE2 (fabs is x87
// code in the 32-bit build); NaN fails the comparison like an unbounded
// factor. This runs in every processing call.
bool bounded(const DownmixFactors& f) {
  const __m128d limit = _mm_set1_pd(kBoundedFactor);
  const __m128d sign = _mm_set1_pd(-0.0);
  const auto within = [&](double a, double b) {
    return _mm_cmple_pd(_mm_andnot_pd(sign, _mm_set_pd(b, a)), limit);
  };
  const __m128d all =
      _mm_and_pd(_mm_and_pd(within(f.pairGain1, f.pairGain2), within(f.pairGain3, f.pairOn1)),
                 _mm_and_pd(within(f.pairOn2, f.pairOn3), within(f.masterGain, f.busPass)));
  return _mm_movemask_pd(all) == 3;
}

DownmixGroups<float> groupsFor(const DownmixFactors& f, float*) {
  return bounded(f) ? kGroupForms.boundedFloat : kGroupForms.generalFloat;
}

DownmixGroups<double> groupsFor(const DownmixFactors&, double*) {
  return kGroupForms.generalDouble;
}

}  // namespace

DownmixGroupForms downmixGroupFormsSse2() { return downmixGroupFormsOf<Sse2Lanes>(); }

template <typename Sample>
std::int32_t TTovraEffect::SampleKernel::runGroups(Sample* const* inputs, Sample* const* outputs,
                                                   std::int32_t frames, double* lastFrame) {
  DownmixLastFrame last{in_, lastFrame};
  return groupsFor(factors_, static_cast<Sample*>(nullptr))(factors_, inputs, outputs, frames,
                                                            last);
}

template std::int32_t TTovraEffect::SampleKernel::runGroups(float* const*, float* const*,
                                                            std::int32_t, double*);
template std::int32_t TTovraEffect::SampleKernel::runGroups(double* const*, double* const*,
                                                            std::int32_t, double*);
