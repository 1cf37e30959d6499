// The values every translated section sees about its environment, and the
// preambles the translator generates at the start of each section to keep them
// current. Each system value has a maintained copy, written only here, and a
// script copy that the section's own code reads and may overwrite.
#pragma once

#include <array>

#include "runtime/script_rules.h"
#include "seam/effect_callbacks.h"

class SystemValue {
 public:
  double maintained() const { return maintained_; }
  void maintain(double value) { maintained_ = sanitised(value); }
  void setBoth(double value) {
    maintain(value);
    script = maintained_;
  }
  // The maintained copy is sanitised whenever it is written, so the refresh
  // is a plain copy: it runs several times in every processing call.
  void refreshScript() { script = maintained_; }

  double script = 0.0;

 private:
  double maintained_ = 0.0;
};

struct SystemValues {
  SystemValue sampleRate;
  SystemValue channelCount;
  SystemValue blockSize;
  SystemValue tempo;
  SystemValue timeSignatureNumerator;
  SystemValue timeSignatureDenominator;
  std::array<double, 2> perBlockValues{};
  double playState = 0.0;     // 1 playing, plus 4 recording
  double playPosition = 0.0;  // in quarter notes

  // Start of the initialisation section: sample rate, channel count, block
  // size and tempo from the shell.
  void initialisationPreamble(ShellHandle shell);
  // Start of the block section: asks the host for time information four times
  // (tempo and signature, playing, recording, position).
  void blockPreamble(ShellHandle shell);
  // Start of the control and per-sample sections, and the end of the block
  // preamble.
  void refreshScriptCopies();
};
