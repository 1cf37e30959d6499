// TTovraEffect: the translated downmixer. Three stereo input pairs on channels
// 0-1, 2-3 and 4-5 are mixed into channels 0 and 1 under a level and a mute per
// pair and a master level; channels 2 to 5 carry their inputs times the
// routing mode.
#pragma once

#include <array>

#include "runtime/script_rules.h"
#include "runtime/system_values.h"
#include "runtime/tovra.h"

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
  class SampleKernel;
  SampleKernel sampleKernel() const;
  void serializeSection() override;

  // The per-sample section's input variables, in0 to in5, for checks that a
  // fast path leaves them as the plain one does.
  std::array<double, kChannelCount> inputVariables() const {
    return {in0, in1, in2, in3, in4, in5};
  }

 private:
  void describe();
  void defineControls();
  void effectOpen();

  // The script's variables, all 0 until the first control section.
  double pairGain1 = 0.0;
  double pairGain2 = 0.0;
  double pairGain3 = 0.0;
  double pairOn1 = 0.0;
  double pairOn2 = 0.0;
  double pairOn3 = 0.0;
  double masterGain = 0.0;
  double busPass = 0.0;
  double in0 = 0.0;
  double in1 = 0.0;
  double in2 = 0.0;
  double in3 = 0.0;
  double in4 = 0.0;
  double in5 = 0.0;
  double serializeIndex = 0.0;
  SystemValues system_;
};

// What the per-sample section multiplies by; fixed for a block.
struct DownmixFactors {
  double pairGain1, pairGain2, pairGain3;
  double pairOn1, pairOn2, pairOn3;
  double masterGain, busPass;
};

// The per-sample section, as a kernel the block loop takes once per block: it
// holds the mix factors and the sanitised inputs, so a frame's arithmetic runs
// on registers. The script copies of the system values are refreshed at the
// end of every block preamble and by every control section, and no code of
// this effect writes them, so refreshing them again per frame could not
// change them.
class TTovraEffect::SampleKernel {
 public:
  explicit SampleKernel(const TTovraEffect& effect)
      : factors_{effect.pairGain1, effect.pairGain2, effect.pairGain3,  effect.pairOn1,
                 effect.pairOn2,   effect.pairOn3,   effect.masterGain, effect.busPass},
        in_{effect.in0, effect.in1, effect.in2, effect.in3, effect.in4, effect.in5} {}

  // Channels 0 to 5 of one frame: inputs on entry, outputs on return.
  void operator()(double* channel) {
    const DownmixFactors& f = factors_;
    for (int i = 0; i < kChannelCount; ++i) in_[i] = sanitised(channel[i]);
    channel[0] = sanitised(((in_[0] * f.pairGain1 * f.pairOn1 + in_[2] * f.pairGain2 * f.pairOn2) +
                            in_[4] * f.pairGain3 * f.pairOn3) *
                           f.masterGain);
    channel[2] = sanitised(in_[2] * f.busPass);
    channel[4] = sanitised(in_[4] * f.busPass);
    channel[1] = sanitised(((in_[1] * f.pairGain1 * f.pairOn1 + in_[3] * f.pairGain2 * f.pairOn2) +
                            in_[5] * f.pairGain3 * f.pairOn3) *
                           f.masterGain);
    channel[3] = sanitised(in_[3] * f.busPass);
    channel[5] = sanitised(in_[5] * f.busPass);
  }

  // The same for as many whole groups of frames as fit in `frames`, several
  // frames at once in SIMD lanes, bit for bit as frame after frame would
  // give (effect/downmix_groups.h). All inputs of a group are read before
  // any of its outputs is written, so the host may process in place. Answers
  // the frames done; when it did any, `lastFrame` holds the last one's
  // outputs and the kernel its inputs, as frame-by-frame runs would leave them.
  template <typename Sample>
  std::int32_t runGroups(Sample* const* inputs, Sample* const* outputs, std::int32_t frames,
                         double* lastFrame);

  const DownmixFactors& factors() const { return factors_; }

  // The effect's input variables as the last frame left them.
  void handBack(TTovraEffect& effect) const {
    effect.in0 = in_[0];
    effect.in1 = in_[1];
    effect.in2 = in_[2];
    effect.in3 = in_[3];
    effect.in4 = in_[4];
    effect.in5 = in_[5];
  }

 private:
  DownmixFactors factors_;
  double in_[kChannelCount];
};

inline TTovraEffect::SampleKernel TTovraEffect::sampleKernel() const { return SampleKernel(*this); }

inline void TTovraEffect::sampleSection() {
  SampleKernel kernel(*this);
  kernel(channels.data());
  kernel.handBack(*this);
}
