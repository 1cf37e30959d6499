// TTovraEffect: the translated downmixer. Three stereo input pairs on channels
// 0-1, 2-3 and 4-5 are mixed into channels 0 and 1 under a level and a mute per
// pair and a master level; channels 2 to 5 carry their inputs times the
// routing mode.
#pragma once

#include "runtime/system_values.h"
#include "runtime/tovra.h"

class TTovraEffect : public TTovra {
 public:
  TTovraEffect();

  void open() override { effectOpen(); }
  void initSection() override;
  void controlSection() override;
  void blockSection() override;
  void sampleSection() override;
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
