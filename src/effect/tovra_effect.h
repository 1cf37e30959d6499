// TTovraEffect: the translated downmixer. Three stereo input pairs on channels
// 0-1, 2-3 and 4-5 are mixed into channels 0 and 1 under a level and a mute per
// pair and a master level; channels 2 to 5 carry their inputs times the
// routing mode.
#pragma once

#include <array>

#include "runtime/script_rules.h"
#include "runtime/system_values.h"
#include "runtime/tovra.h"

// What the per-sample section multiplies by, fixed for a block: the script's
// variables the control section sets.
struct DownmixFactors {
  double pairGain1 = 0.0;
  double pairGain2 = 0.0;
  double pairGain3 = 0.0;
  double pairOn1 = 0.0;
  double pairOn2 = 0.0;
  double pairOn3 = 0.0;
  double masterGain = 0.0;
  double busPass = 0.0;

  // Every factor at most 2^64 in magnitude (effect/downmix_groups.h).
  bool bounded() const;
  // No pair muted and the busses either silent or passed: every mute factor
  // exactly 1, the routing factor exactly +0 or +1.
  bool routine() const;
};

// The per-sample section's input variables: the last frame's inputs,
// sanitised.
struct DownmixInputs {
  double in0 = 0.0;
  double in1 = 0.0;
  double in2 = 0.0;
  double in3 = 0.0;
  double in4 = 0.0;
  double in5 = 0.0;
};

class TTovraEffect final : public TTovra {
 public:
  // Three stereo pairs in, the mixed pair and four busses out.
  static constexpr std::int32_t kChannelCount = 6;

  TTovraEffect();

  void open() override { effectOpen(); }
  void initSection() override;
  void controlSection() override;
  void blockSection() override;
  void sampleSection() override;
  void serializeSection() override;

  // The per-sample section for as many whole groups of frames as fit in
  // `frames`, several frames at once in SIMD lanes, bit for bit as frame
  // after frame would give (effect/downmix_groups.h). All inputs of a group
  // are read before any of its outputs is written, so the host may process
  // in place. Answers the frames done; when it did any, the input and
  // channel variables are left as frame-by-frame runs would leave them.
  std::int32_t runGroups(float* const* inputs, float* const* outputs, std::int32_t frames);
  template <typename Sample>
  using Groups = std::int32_t (*)(const DownmixFactors&, Sample* const*, Sample* const*,
                                  std::int32_t, DownmixInputs&, double*);
  using FloatGroups = Groups<float>;
  using DoubleGroups = Groups<double>;
  std::int32_t runGroups(double* const* inputs, double* const* outputs, std::int32_t frames);

  const DownmixFactors& factors() const { return factors_; }

  // in0 to in5, for checks that a fast path leaves them as the plain one does.
  std::array<double, kChannelCount> inputVariables() const {
    return {inputs_.in0, inputs_.in1, inputs_.in2, inputs_.in3, inputs_.in4, inputs_.in5};
  }

 private:
  void describe();
  void defineControls();
  void effectOpen();
  // The factors change only here, and the group forms with them: the range check runs once per
  // change rather than in every processing call (effect/downmix_groups.cpp).
  void setFactors(const DownmixFactors& factors);

  // The script's variables, all 0 until the first control section.
  DownmixFactors factors_;
  FloatGroups floatGroups_ = nullptr;
  DoubleGroups doubleGroups_ = nullptr;
  DownmixInputs inputs_;
  double serializeIndex = 0.0;
  SystemValues system_;
};

// Every input sanitised, products formed left to right, summed in pair
// order, then the master gain, every result sanitised. The script copies of
// the system values are refreshed at the end of every block preamble and by
// every control section, and no code of this effect writes them, so
// refreshing them again per frame could not change them.
inline void TTovraEffect::sampleSection() {
  const DownmixFactors& f = factors_;
  DownmixInputs& in = inputs_;
  in = {sanitised(channels[0]), sanitised(channels[1]), sanitised(channels[2]),
        sanitised(channels[3]), sanitised(channels[4]), sanitised(channels[5])};
  channels[0] = sanitised(((in.in0 * f.pairGain1 * f.pairOn1 + in.in2 * f.pairGain2 * f.pairOn2) +
                           in.in4 * f.pairGain3 * f.pairOn3) *
                          f.masterGain);
  channels[1] = sanitised(((in.in1 * f.pairGain1 * f.pairOn1 + in.in3 * f.pairGain2 * f.pairOn2) +
                           in.in5 * f.pairGain3 * f.pairOn3) *
                          f.masterGain);
  channels[2] = sanitised(in.in2 * f.busPass);
  channels[3] = sanitised(in.in3 * f.busPass);
  channels[4] = sanitised(in.in4 * f.busPass);
  channels[5] = sanitised(in.in5 * f.busPass);
}
