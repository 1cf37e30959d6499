// Lane operations on SSE2, the baseline of every build: two frames at once,
// one double lane each. Everything here has internal linkage, so that no
// copy compiled for another instruction set can stand in for it at link time.
//
// Each operation is the IEEE operation the scalar path performs, lane by
// lane: loads widen float samples exactly, products and sums are single
// double operations, and a float store narrows with the current rounding and
// then limits to the float range, as the scalar path's clamp-then-narrow does.
#pragma once

#include <emmintrin.h>

#include <cfloat>
#include <cstdint>
#include <limits>

namespace {

struct Sse2Lanes {
  using Vector = __m128d;
  static constexpr std::int32_t kFrames = 2;

  static Vector broadcast(double value) { return _mm_set1_pd(value); }

  static Vector load(const float* samples) {
    const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples));
    return _mm_cvtps_pd(_mm_castsi128_ps(two));
  }
  static Vector load(const double* samples) { return _mm_loadu_pd(samples); }

  static Vector multiply(Vector a, Vector b) { return _mm_mul_pd(a, b); }
  static Vector add(Vector a, Vector b) { return _mm_add_pd(a, b); }

  // NaN and infinities become 0; everything else, -0.0 and denormals
  // included, passes unchanged.
  static Vector finiteOrZero(Vector value) {
    const Vector magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), value);
    const Vector finite =
        _mm_cmplt_pd(magnitude, _mm_set1_pd(std::numeric_limits<double>::infinity()));
    return _mm_and_pd(value, finite);
  }

  static void store(float* samples, Vector value) {
    const __m128 narrowed = _mm_cvtpd_ps(value);
    const __m128 limited =
        _mm_min_ps(_mm_max_ps(narrowed, _mm_set1_ps(-FLT_MAX)), _mm_set1_ps(FLT_MAX));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(samples), _mm_castps_si128(limited));
  }
  static void store(double* samples, Vector value) { _mm_storeu_pd(samples, value); }

  static double lastLane(Vector value) { return _mm_cvtsd_f64(_mm_unpackhi_pd(value, value)); }
};

}  // namespace
