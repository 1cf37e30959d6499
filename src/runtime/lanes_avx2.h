// Lane operations on AVX2: four frames at once, one double lane each. Only
// the unit compiled for AVX2 includes this; everything here has internal
// linkage, so that no AVX2 code can stand in for a baseline copy at link
// time. The operations are those of lanes_sse2.h, four lanes wide.
#pragma once

#include <immintrin.h>

#include <cfloat>
#include <cstdint>
#include <limits>

namespace {

struct Avx2Lanes {
  using Vector = __m256d;
  static constexpr std::int32_t kFrames = 4;

  static Vector broadcast(double value) { return _mm256_set1_pd(value); }

  static Vector load(const float* samples) { return _mm256_cvtps_pd(_mm_loadu_ps(samples)); }
  static Vector load(const double* samples) { return _mm256_loadu_pd(samples); }

  static Vector multiply(Vector a, Vector b) { return _mm256_mul_pd(a, b); }
  static Vector add(Vector a, Vector b) { return _mm256_add_pd(a, b); }

  static Vector finiteOrZero(Vector value) {
    const Vector magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), value);
    const Vector finite = _mm256_cmp_pd(
        magnitude, _mm256_set1_pd(std::numeric_limits<double>::infinity()), _CMP_LT_OQ);
    return _mm256_and_pd(value, finite);
  }

  static void store(float* samples, Vector value) {
    const __m128 narrowed = _mm256_cvtpd_ps(value);
    const __m128 limited =
        _mm_min_ps(_mm_max_ps(narrowed, _mm_set1_ps(-FLT_MAX)), _mm_set1_ps(FLT_MAX));
    _mm_storeu_ps(samples, limited);
  }
  static void store(double* samples, Vector value) { _mm256_storeu_pd(samples, value); }

  static double lastLane(Vector value) {
    const __m128d high = _mm256_extractf128_pd(value, 1);
    return _mm_cvtsd_f64(_mm_unpackhi_pd(high, high));
  }
};

}  // namespace
