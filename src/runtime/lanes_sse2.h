// Lane operations on SSE2, the baseline of every build: two frames at once,
// one double lane each; float samples are loaded, sanitised and stored four
// at a time. Everything here has internal linkage, so that no
// copy compiled for another instruction set can stand in for it at link time.
//
// Each operation is the IEEE operation the scalar path performs, lane by
// lane: float samples widen exactly, products and sums are single
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
  using Floats = __m128;
  static constexpr std::int32_t kFrames = 2;
  // Four float samples fill two vectors.
  static constexpr int kFloatHalves = 2;

  static Vector broadcast(double value) { return _mm_set1_pd(value); }

  static Vector load(const double* samples) { return _mm_loadu_pd(samples); }
  static Floats load(const float* samples) { return _mm_loadu_ps(samples); }
  // Frames 0-1 (half 0) or 2-3 (half 1) of four floats, widened exactly.
  static Vector widen(Floats value, int half) {
    return _mm_cvtps_pd(half == 0 ? value : _mm_movehl_ps(value, value));
  }

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

  static Floats finiteOrZero(Floats value) {
    const Floats magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), value);
    const Floats finite =
        _mm_cmplt_ps(magnitude, _mm_set1_ps(std::numeric_limits<float>::infinity()));
    return _mm_and_ps(value, finite);
  }

  // Both halves' frames narrowed to floats, then limited to the float range.
  static void store(float* samples, const Vector (&halves)[kFloatHalves]) {
    const Floats narrowed = _mm_movelh_ps(_mm_cvtpd_ps(halves[0]), _mm_cvtpd_ps(halves[1]));
    const Floats limited =
        _mm_min_ps(_mm_max_ps(narrowed, _mm_set1_ps(-FLT_MAX)), _mm_set1_ps(FLT_MAX));
    _mm_storeu_ps(samples, limited);
  }
  static void store(double* samples, Vector value) { _mm_storeu_pd(samples, value); }

  static void storeLastLane(double* to, Vector value) { _mm_storeh_pd(to, value); }

  // A factor that is a float, for float samples.
  static Floats broadcastFloats(double value) { return _mm_set1_ps(static_cast<float>(value)); }
  static Floats multiply(Floats a, Floats b) { return _mm_mul_ps(a, b); }
  // Float samples that need no narrowing or limit.
  static void storeExact(float* samples, Floats value) { _mm_storeu_ps(samples, value); }
};

}  // namespace
