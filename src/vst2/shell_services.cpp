#include "seam/shell_services.h"

#include <cstddef>
#include <cstring>

#include "vst2/quobe.h"

namespace {

template <typename Field>
Field readTimeField(const void* timeInfo, std::size_t offset) {
  Field field;
  std::memcpy(&field, static_cast<const unsigned char*>(timeInfo) + offset, sizeof field);
  return field;
}

template <typename Field>
Field askTimeField(ShellHandle shell, std::int32_t request, std::size_t offset) {
  if (shell == nullptr) return Field{};
  const void* timeInfo = shell->getTimeInfo(request);
  return timeInfo != nullptr ? readTimeField<Field>(timeInfo, offset) : Field{};
}

std::int32_t hasTransportFlag(ShellHandle shell, std::int32_t flag) {
  const auto flags = askTimeField<std::int32_t>(shell, flag, VstTimeInfoOffsets::flags);
  return (flags & flag) != 0 ? 1 : 0;
}

void storeIfWanted(double* out, double value) {
  if (out != nullptr) *out = value;
}

}  // namespace

AEffect* shellGetRecord(ShellHandle shell) {
  return shell != nullptr ? shell->getAeffect() : nullptr;
}

void* shellGetEffect(ShellHandle shell) { return shell != nullptr ? shell->effect() : nullptr; }

std::int32_t shellGetNumInputs(ShellHandle shell) {
  return shell != nullptr ? shell->getAeffect()->numInputs : 0;
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

std::int32_t shellSetUniqueId(ShellHandle shell, std::int32_t id) {
  if (shell == nullptr) return 0;
  shell->setUniqueID(id);
  return 1;
}

std::int32_t shellSetProgramsAreChunks(ShellHandle shell, std::int32_t on) {
  if (shell == nullptr) return 0;
  shell->programsAreChunks((on & 0xFF) != 0);
  return 1;
}

double shellGetSampleRate(ShellHandle shell) {
  return shell != nullptr ? shell->getSampleRate() : 0.0;
}

std::int32_t shellGetBlockSize(ShellHandle shell) {
  return shell != nullptr ? shell->getBlockSize() : 0;
}

double timeGetTempo(ShellHandle shell) {
  return askTimeField<double>(shell, kVstTempoValid, VstTimeInfoOffsets::tempo);
}

std::int32_t timeIsRecording(ShellHandle shell) {
  return hasTransportFlag(shell, kVstTransportRecording);
}

std::int32_t timeIsPlaying(ShellHandle shell) {
  return hasTransportFlag(shell, kVstTransportPlaying);
}

double timeGetPpqPosition(ShellHandle shell) {
  return askTimeField<double>(shell, kVstPpqPosValid, VstTimeInfoOffsets::ppqPos);
}

std::int32_t timeGetTempoAndSignature(ShellHandle shell, double* tempo, double* numerator,
                                      double* denominator) {
  if (shell == nullptr) return 0;
  const void* timeInfo = shell->getTimeInfo(kVstTempoValid | kVstTimeSigValid);
  if (timeInfo == nullptr) return 0;
  storeIfWanted(tempo, readTimeField<double>(timeInfo, VstTimeInfoOffsets::tempo));
  storeIfWanted(numerator,
                readTimeField<std::int32_t>(timeInfo, VstTimeInfoOffsets::timeSigNumerator));
  storeIfWanted(denominator,
                readTimeField<std::int32_t>(timeInfo, VstTimeInfoOffsets::timeSigDenominator));
  return 1;
}
