// The rules that every translated section follows for script values. The
// translated code is generated; these helpers are the runtime's half of that
// contract.
#pragma once

// x86 processors, 32 and 64 bits, have SSE2 in every build.
#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstdint>
#include <limits>

// Sanitising store: a NaN or an infinity becomes +0 before it is stored;
// finite values, zeros and denormals pass unchanged (under flush-to-zero a
// comparison sees a denormal as zero, which is finite, and the value itself
// passes untouched). This is the rule in plain C++: the sanitising store
// itself off x86, and the portable lanes' rule on every processor.
template <typename Real>
Real sanitisedPortably(Real value) {
  return std::fabs(value) < std::numeric_limits<Real>::infinity() ? value : Real{0};
}

// The sanitising store. On x86 written as the SSE2 mask the lane operations
// use, since a plain select compiles to x87 code in the 32-bit build, where
// every sample of the audio path goes through here.
inline double sanitised(double value) {
#if defined(__x86_64__) || defined(__i386__)
  const __m128d v = _mm_set_sd(value);
  const __m128d magnitude = _mm_andnot_pd(_mm_set_sd(-0.0), v);
  const __m128d finite =
      _mm_cmplt_sd(magnitude, _mm_set_sd(std::numeric_limits<double>::infinity()));
  return _mm_cvtsd_f64(_mm_and_pd(v, finite));
#else
  return sanitisedPortably(value);
#endif
}

// Integer conversion: nudged by 0.0001 away from zero, then truncated toward
// zero. Values beyond the int32 range saturate and NaN converts to 0, so no
// conversion is undefined.
inline std::int32_t toScriptInt(double value) {
  if (std::isnan(value)) return 0;
  const double nudged = value >= 0.0 ? value + 0.0001 : value - 0.0001;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  if (nudged <= kLowest) return std::numeric_limits<std::int32_t>::min();
  if (nudged >= kHighest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(nudged);
}

// Control-index masking: every index into the 128 control values lands inside.
constexpr std::int32_t kControlValueCount = 128;
inline std::int32_t controlIndex(double value) {
  return toScriptInt(value) & (kControlValueCount - 1);
}

// Bounded loop: a script loop runs its body at most this many times, even
// when its own condition still holds.
constexpr std::int32_t kScriptLoopLimit = 1000000;

// Runs body, which answers whether to go on, until it answers false or has
// run kScriptLoopLimit times. Answers the number of iterations run.
template <typename Body>
std::int32_t boundedLoop(Body&& body) {
  std::int32_t iterations = 0;
  bool goOn = true;
  while (goOn && iterations < kScriptLoopLimit) {
    goOn = body();
    ++iterations;
  }
  return iterations;
}

// Change comparison: values closer than 0.00001 count as equal.
constexpr double kChangeTolerance = 0.00001;
inline bool scriptValuesDiffer(double a, double b) {
  const double difference = a - b;
  return !(difference > -kChangeTolerance && difference < kChangeTolerance);
}
