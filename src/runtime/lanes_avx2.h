// Lane operations on AVX2: four frames at once, one double lane each. Only
// the unit compiled for AVX2 includes this; everything here has internal
// linkage, so that no AVX2 code can stand in for a baseline copy at link
// time. The operations are those of lanes_sse2.h, twice as wide for doubles.
#pragma once

#include <immintrin.h>

#include <cfloat>
#include <cstdint>
#include <limits>

namespace {

struct Avx2Lanes {
  using Vector = __m256d;
  // Four float samples fill one vector; they are widened as they are loaded
  // and sanitised as doubles, which takes one instruction fewer here.
  using Floats = __m256d;
  static constexpr std::int32_t kFrames = 4;
  static constexpr int kFloatHalves = 1;

  static Vector broadcast(double value) { return _mm256_set1_pd(value); }

  static Vector load(const double* samples) { return _mm256_loadu_pd(samples); }
  static Floats load(const float* samples) { return _mm256_cvtps_pd(_mm_loadu_ps(samples)); }
  static Vector widen(Floats value, int) { return value; }

  static Vector multiply(Vector a, Vector b) { return _mm256_mul_pd(a, b); }
  static Vector add(Vector a, Vector b) { return _mm256_add_pd(a, b); }

  static Vector finiteOrZero(Vector value) {
    const Vector magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), value);
    const Vector finite = _mm256_cmp_pd(
        magnitude, _mm256_set1_pd(std::numeric_limits<double>::infinity()), _CMP_LT_OQ);
    return _mm256_and_pd(value, finite);
  }

  static void store(float* samples, const Vector (&halves)[kFloatHalves]) {
    const __m128 narrowed = _mm256_cvtpd_ps(halves[0]);
    const __m128 limited =
        _mm_min_ps(_mm_max_ps(narrowed, _mm_set1_ps(-FLT_MAX)), _mm_set1_ps(FLT_MAX));
    _mm_storeu_ps(samples, limited);
  }
  static void store(double* samples, Vector value) { _mm256_storeu_pd(samples, value); }

  static void storeLastLane(double* to, Vector value) {
    _mm_storeh_pd(to, _mm256_extractf128_pd(value, 1));
  }

  // Float samples are held widened.
  static Floats broadcastFloats(double value) { return broadcast(value); }
  // Widened float samples that need no limit: narrowing them is exact.
  static void storeExact(float* samples, Floats value) {
    _mm_storeu_ps(samples, _mm256_cvtpd_ps(value));
  }
};

}  // namespace
