// Lane operations in plain C++, for a processor that has no lane header of
// its own: two frames at once, one double per lane, held in plain arrays;
// float samples are loaded, sanitised and stored four at a time. Each lane
// goes through the plain path's own rules: the portable sanitising rule and
// the float limit of the block loop. Everything here has internal linkage,
// like every other set of lanes.
#pragma once

#include <cstdint>

#include "runtime/block_loop.h"
#include "runtime/script_rules.h"

namespace {

struct PortableLanes {
  static constexpr std::int32_t kFrames = 2;
  static constexpr int kFloatHalves = 2;
  struct Vector {
    double lane[kFrames];
  };
  struct Floats {
    float lane[kFloatHalves * kFrames];
  };

  static Vector broadcast(double value) { return {{value, value}}; }

  static Vector load(const double* samples) { return {{samples[0], samples[1]}}; }
  static Floats load(const float* samples) {
    return {{samples[0], samples[1], samples[2], samples[3]}};
  }
  // Frames 0-1 (half 0) or 2-3 (half 1) of four floats, widened exactly.
  static Vector widen(Floats value, int half) {
    return {{value.lane[half * kFrames], value.lane[half * kFrames + 1]}};
  }

  static Vector multiply(Vector a, Vector b) {
    return {{a.lane[0] * b.lane[0], a.lane[1] * b.lane[1]}};
  }
  static Vector add(Vector a, Vector b) { return {{a.lane[0] + b.lane[0], a.lane[1] + b.lane[1]}}; }

  static Vector finiteOrZero(Vector value) {
    return {{sanitisedPortably(value.lane[0]), sanitisedPortably(value.lane[1])}};
  }
  static Floats finiteOrZero(Floats value) {
    for (float& sample : value.lane) sample = sanitisedPortably(sample);
    return value;
  }

  static void store(float* samples, const Vector (&halves)[kFloatHalves]) {
    for (int half = 0; half < kFloatHalves; ++half)
      for (int lane = 0; lane < kFrames; ++lane)
        samples[half * kFrames + lane] = toHostSample<float>(halves[half].lane[lane]);
  }
  static void store(double* samples, Vector value) {
    samples[0] = value.lane[0];
    samples[1] = value.lane[1];
  }

  static void storeLastLane(double* to, Vector value) { *to = value.lane[kFrames - 1]; }

  static Floats broadcastFloats(double value) {
    const auto factor = static_cast<float>(value);
    return {{factor, factor, factor, factor}};
  }
  static Floats multiply(Floats a, Floats b) {
    for (int lane = 0; lane < kFloatHalves * kFrames; ++lane) a.lane[lane] *= b.lane[lane];
    return a;
  }
  static void storeExact(float* samples, Floats value) {
    for (int lane = 0; lane < kFloatHalves * kFrames; ++lane) samples[lane] = value.lane[lane];
  }
};

}  // namespace
