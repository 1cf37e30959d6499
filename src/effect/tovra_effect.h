// TTovraEffect: the translated downmixer. Three stereo input pairs on channels
// 0-1, 2-3 and 4-5 are mixed into channels 0 and 1 under a level and a mute per
// pair and a master level; channels 2 to 5 carry their inputs times the
// routing mode.
#pragma once

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

// The per-sample section, as a kernel the block loop takes once per block: it
// holds the mix factors and the sanitised inputs, so a frame's arithmetic runs
// on registers. The script copies of the system values are refreshed at the
// end of every block preamble and by every control section, and no code of
// this effect writes them, so refreshing them again per frame could not
// change them.
class TTovraEffect::SampleKernel {
 public:
  explicit SampleKernel(const TTovraEffect& effect)
      : pairGain1_(effect.pairGain1),
        pairGain2_(effect.pairGain2),
        pairGain3_(effect.pairGain3),
        pairOn1_(effect.pairOn1),
        pairOn2_(effect.pairOn2),
        pairOn3_(effect.pairOn3),
        masterGain_(effect.masterGain),
        busPass_(effect.busPass),
        in_{effect.in0, effect.in1, effect.in2, effect.in3, effect.in4, effect.in5} {}

  // Channels 0 to 5 of one frame: inputs on entry, outputs on return.
  void operator()(double* channel) {
    for (int i = 0; i < kChannelCount; ++i) in_[i] = sanitised(channel[i]);
    channel[0] = sanitised(((in_[0] * pairGain1_ * pairOn1_ + in_[2] * pairGain2_ * pairOn2_) +
                            in_[4] * pairGain3_ * pairOn3_) *
                           masterGain_);
    channel[2] = sanitised(in_[2] * busPass_);
    channel[4] = sanitised(in_[4] * busPass_);
    channel[1] = sanitised(((in_[1] * pairGain1_ * pairOn1_ + in_[3] * pairGain2_ * pairOn2_) +
                            in_[5] * pairGain3_ * pairOn3_) *
                           masterGain_);
    channel[3] = sanitised(in_[3] * busPass_);
    channel[5] = sanitised(in_[5] * busPass_);
  }

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
  double pairGain1_, pairGain2_, pairGain3_;
  double pairOn1_, pairOn2_, pairOn3_;
  double masterGain_, busPass_;
  double in_[kChannelCount];
};

inline TTovraEffect::SampleKernel TTovraEffect::sampleKernel() const { return SampleKernel(*this); }

inline void TTovraEffect::sampleSection() {
  SampleKernel kernel(*this);
  kernel(channels.data());
  kernel.handBack(*this);
}
