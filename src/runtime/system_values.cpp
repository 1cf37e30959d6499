#include "runtime/system_values.h"

#include "seam/shell_services.h"

void SystemValues::initialisationPreamble(ShellHandle shell) {
  sampleRate.setBoth(shellGetSampleRate(shell));
  channelCount.setBoth(shellGetNumInputs(shell));
  blockSize.setBoth(shellGetBlockSize(shell));
  tempo.setBoth(timeGetTempo(shell));
  timeSignatureNumerator.refreshScript();
  timeSignatureDenominator.refreshScript();
}

void SystemValues::blockPreamble(ShellHandle shell) {
  perBlockValues.fill(0.0);
  // Without time information from the host the three keep their last values.
  double hostTempo = 0.0;
  double numerator = 0.0;
  double denominator = 0.0;
  if (timeGetTempoAndSignature(shell, &hostTempo, &numerator, &denominator) != 0) {
    tempo.maintain(hostTempo);
    timeSignatureNumerator.maintain(numerator);
    timeSignatureDenominator.maintain(denominator);
  }
  const double playing = timeIsPlaying(shell) != 0 ? 1.0 : 0.0;
  const double recording = timeIsRecording(shell) != 0 ? 4.0 : 0.0;
  playState = playing + recording;
  playPosition = sanitised(timeGetPpqPosition(shell));
  refreshScriptCopies();
}

// Written out rather than looped over a list of pointers, which the compiler
// builds on the stack at every call: this runs in every processing call.
void SystemValues::refreshScriptCopies() {
  sampleRate.refreshScript();
  channelCount.refreshScript();
  blockSize.refreshScript();
  tempo.refreshScript();
  timeSignatureNumerator.refreshScript();
  timeSignatureDenominator.refreshScript();
}
