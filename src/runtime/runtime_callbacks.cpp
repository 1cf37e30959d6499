#include "runtime/runtime_callbacks.h"

#include "runtime/callback_text.h"
#include "runtime/controls.h"

namespace {

void onCreate(ShellHandle shell) {
  const TTovra& effect = effectOf(shell);
  shellSetNumInputs(shell, effect.pinCount);
  shellSetNumOutputs(shell, effect.pinCount);
  shellSetUniqueId(shell, effect.uniqueId);
  shellSetProgramsAreChunks(shell, 1);
}

void onDestroy(ShellHandle shell) { delete static_cast<TTovra*>(shellGetEffect(shell)); }
void onOpen(ShellHandle shell) { effectOf(shell).open(); }
void onSuspend(ShellHandle shell) { effectOf(shell).suspend(); }
void onResume(ShellHandle shell) { effectOf(shell).resume(); }
void onIdle(ShellHandle shell) { effectOf(shell).idle(); }
void onClose(ShellHandle shell) { effectOf(shell).close(); }

std::int32_t getVendorVersion(ShellHandle shell) { return effectOf(shell).vendorVersion; }

std::int32_t getVendorString(ShellHandle shell, char* text) {
  copyCallbackText(effectOf(shell).vendorString, text);
  return 1;
}

std::int32_t getProductString(ShellHandle shell, char* text) {
  copyCallbackText(effectOf(shell).productString, text);
  return 1;
}

std::int32_t getEffectName(ShellHandle shell, char* text) {
  copyCallbackText(effectOf(shell).effectName, text);
  return 1;
}

std::int32_t getProgramName(ShellHandle shell, char* text) {
  copyCallbackText(effectOf(shell).programName, text);
  return 1;
}

void setProgramName(ShellHandle shell, const char* text) { effectOf(shell).programName = text; }

std::int32_t getProgramNameIndexed(ShellHandle, std::int32_t, std::int32_t, char*) { return 0; }

double getParameter(ShellHandle shell, std::int32_t index) {
  return normalisedControlValue(effectOf(shell), index);
}

void setParameter(ShellHandle shell, std::int32_t index, double value) {
  setNormalisedControlValue(effectOf(shell), index, value);
}

void getParameterName(ShellHandle shell, std::int32_t index, char* text) {
  copyCallbackText(controlName(effectOf(shell), index), text);
}

void getParameterLabel(ShellHandle shell, std::int32_t index, char* text) {
  copyCallbackText(controlLabel(effectOf(shell), index), text);
}

void getParameterDisplay(ShellHandle shell, std::int32_t index, char* text) {
  copyCallbackText(controlDisplayText(effectOf(shell), index), text);
}

std::int32_t getChunk(ShellHandle shell, void** data, std::int32_t) {
  return effectOf(shell).writeState(data);
}

std::int32_t setChunk(ShellHandle shell, void* data, std::int32_t byteSize, std::int32_t) {
  return effectOf(shell).readState(data, byteSize);
}

}  // namespace

EffectCallbacks runtimeCallbacks() {
  EffectCallbacks table{};
  table.onCreate = onCreate;
  table.onDestroy = onDestroy;
  table.onOpen = onOpen;
  table.onSuspend = onSuspend;
  table.onResume = onResume;
  table.onIdle = onIdle;
  table.onClose = onClose;
  table.getVendorVersion = getVendorVersion;
  table.getVendorString = getVendorString;
  table.getProductString = getProductString;
  table.getEffectName = getEffectName;
  table.getProgramName = getProgramName;
  table.setProgramName = setProgramName;
  table.getProgramNameIndexed = getProgramNameIndexed;
  table.getParameter = getParameter;
  table.setParameter = setParameter;
  table.getParameterName = getParameterName;
  table.getParameterLabel = getParameterLabel;
  table.getParameterDisplay = getParameterDisplay;
  table.processReplacing = processBlockOf<TTovra, float>;
  table.processDoubleReplacing = processBlockOf<TTovra, double>;
  table.getChunk = getChunk;
  table.setChunk = setChunk;
  return table;
}
