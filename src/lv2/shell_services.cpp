// The shell services over an LV2 host: the same functions the runtime calls in
// the VST 2.x edition, answering from what the LV2 instance was given.
#include "seam/shell_services.h"

#include "lv2/quobe.h"

namespace {

void storeIfWanted(double* out, double value) {
  if (out != nullptr) *out = value;
}

// The time services answer as in a VST 2.x host without time information
// until the host has sent a position.
const TimePosition* knownTime(ShellHandle shell) {
  return shell != nullptr && shell->time().known() ? &shell->time() : nullptr;
}

}  // namespace

// An LV2 instance has no VST 2.x record.
AEffect* shellGetRecord(ShellHandle) { return nullptr; }

void* shellGetEffect(ShellHandle shell) { return shell != nullptr ? shell->effect() : nullptr; }

std::int32_t shellGetNumInputs(ShellHandle shell) {
  return shell != nullptr ? shell->numInputs() : 0;
}

std::int32_t shellSetNumInputs(ShellHandle shell, std::int32_t count) {
  if (shell == nullptr) return 0;
  shell->setNumInputs(count);
  return 1;
}

std::int32_t shellSetNumOutputs(ShellHandle shell, std::int32_t count) {
  if (shell == nullptr) return 0;
  shell->setNumOutputs(count);
  return 1;
}

// The bundle names the plugin by its URI, and its state is always the chunk:
// there is nothing to record for either.
std::int32_t shellSetUniqueId(ShellHandle shell, std::int32_t) { return shell != nullptr ? 1 : 0; }

std::int32_t shellSetProgramsAreChunks(ShellHandle shell, std::int32_t) {
  return shell != nullptr ? 1 : 0;
}

double shellGetSampleRate(ShellHandle shell) {
  return shell != nullptr ? shell->sampleRate() : 0.0;
}

std::int32_t shellGetBlockSize(ShellHandle shell) {
  return shell != nullptr ? shell->blockSize() : 0;
}

double timeGetTempo(ShellHandle shell) {
  const TimePosition* time = knownTime(shell);
  return time != nullptr ? time->tempo() : 0.0;
}

// LV2 hosts do not say whether they record.
std::int32_t timeIsRecording(ShellHandle) { return 0; }

std::int32_t timeIsPlaying(ShellHandle shell) {
  const TimePosition* time = knownTime(shell);
  return time != nullptr && time->playing() ? 1 : 0;
}

double timeGetPpqPosition(ShellHandle shell) {
  const TimePosition* time = knownTime(shell);
  return time != nullptr ? time->quarterNotes() : 0.0;
}

std::int32_t timeGetTempoAndSignature(ShellHandle shell, double* tempo, double* numerator,
                                      double* denominator) {
  const TimePosition* time = knownTime(shell);
  if (time == nullptr) return 0;
  storeIfWanted(tempo, time->tempo());
  storeIfWanted(numerator, time->numerator());
  storeIfWanted(denominator, time->denominator());
  return 1;
}
