// Lane operations on NEON, which every aarch64 processor has: two frames at
// once, one double lane each; float samples are loaded, sanitised and stored
// four at a time. Everything here has internal linkage, like every other set
// of lanes. The operations are those of lanes_sse2.h: IEEE operations lane by
// lane, with FPCR.FZ flushing as MXCSR's FTZ and DAZ flush there (the flag
// flushes both the inputs and the results of arithmetic; comparisons and bit
// operations see a flushed input as zero and pass it on unchanged).
#pragma once

#include <arm_neon.h>

#include <cfloat>
#include <cstdint>
#include <limits>

namespace {

struct NeonLanes {
  using Vector = float64x2_t;
  using Floats = float32x4_t;
  static constexpr std::int32_t kFrames = 2;
  // Sample buffers are aligned to their samples only.
  using UnalignedVector [[gnu::aligned(alignof(double))]] = float64x2_t;
  using UnalignedFloats [[gnu::aligned(alignof(float))]] = float32x4_t;
  static constexpr int kFloatHalves = 2;

  static Vector broadcast(double value) { return vdupq_n_f64(value); }

  static Vector load(const double* samples) { return vld1q_f64(samples); }
  static Floats load(const float* samples) { return vld1q_f32(samples); }
  // Frames 0-1 (half 0) or 2-3 (half 1) of four floats, widened exactly.
  static Vector widen(Floats value, int half) {
    return half == 0 ? vcvt_f64_f32(vget_low_f32(value)) : vcvt_high_f64_f32(value);
  }

  static Vector multiply(Vector a, Vector b) { return vmulq_f64(a, b); }
  static Vector add(Vector a, Vector b) { return vaddq_f64(a, b); }

  // NaN and infinities become 0; everything else, -0.0 and denormals
  // included, passes unchanged: the mask of |value| < infinity, in one
  // absolute comparison.
  static Vector finiteOrZero(Vector value) {
    const uint64x2_t finite =
        vcaltq_f64(value, vdupq_n_f64(std::numeric_limits<double>::infinity()));
    return vreinterpretq_f64_u64(vandq_u64(vreinterpretq_u64_f64(value), finite));
  }
  static Floats finiteOrZero(Floats value) {
    const uint32x4_t finite =
        vcaltq_f32(value, vdupq_n_f32(std::numeric_limits<float>::infinity()));
    return vreinterpretq_f32_u32(vandq_u32(vreinterpretq_u32_f32(value), finite));
  }

  // Both halves' frames narrowed to floats with the current rounding, then
  // limited to the float range. No NaN reaches here, so the limit's
  // treatment of NaN, which differs from SSE2's, never shows.
  static void store(float* samples, const Vector (&halves)[kFloatHalves]) {
    const Floats narrowed = vcvt_high_f32_f64(vcvt_f32_f64(halves[0]), halves[1]);
    const Floats limited =
        vminq_f32(vmaxq_f32(narrowed, vdupq_n_f32(-FLT_MAX)), vdupq_n_f32(FLT_MAX));
    *reinterpret_cast<UnalignedFloats*>(samples) = limited;
  }
  // Stores are plain assignments of the vector type, which, unlike
  // vst1q_f64 and vst1q_f32, the compiler knows write samples only: the
  // loop then keeps the channel pointers in registers instead of reading
  // them again after every store.
  static void store(double* samples, Vector value) {
    *reinterpret_cast<UnalignedVector*>(samples) = value;
  }

  static void storeLastLane(double* to, Vector value) { vst1q_lane_f64(to, value, 1); }

  // A factor that is a float, for float samples.
  static Floats broadcastFloats(double value) { return vdupq_n_f32(static_cast<float>(value)); }
  static Floats multiply(Floats a, Floats b) { return vmulq_f32(a, b); }
  // Float samples that need no narrowing or limit.
  static void storeExact(float* samples, Floats value) {
    *reinterpret_cast<UnalignedFloats*>(samples) = value;
  }
};

}  // namespace
