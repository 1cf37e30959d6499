#include "vst2/audio_effect_x.h"

namespace {

std::intptr_t truth(bool value) { return value ? 1 : 0; }

void storeNullIfGiven(void** location) {
  if (location != nullptr) *location = nullptr;
}

}  // namespace

std::intptr_t AudioEffectX::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                       void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  const auto value32 = static_cast<std::int32_t>(value);
  switch (opcode) {
    case effProcessEvents:
      return processEvents(ptr);
    case effCanBeAutomated:
      return truth(canParameterBeAutomated(index));
    case effString2Parameter:
      return truth(string2parameter(index, text));
    case effGetProgramNameIndexed:
      return truth(getProgramNameIndexed(value32, index, text));
    case effGetInputProperties:
      return truth(getInputProperties(index, ptr));
    case effGetOutputProperties:
      return truth(getOutputProperties(index, ptr));
    case effGetPlugCategory:
      return getPlugCategory();
    case effOfflineNotify:
      return truth(offlineNotify(ptr, value32, index != 0));
    case effOfflinePrepare:
      return truth(offlinePrepare(ptr, value32));
    case effOfflineRun:
      return truth(offlineRun(ptr, value32));
    case effProcessVarIo:
      return truth(processVariableIo(ptr));
    case effSetSpeakerArrangement:
      return truth(setSpeakerArrangement(reinterpret_cast<void*>(value), ptr));
    case effSetBypass:
      return truth(setBypass(value != 0));
    case effGetEffectName:
      return truth(getEffectName(text));
    case effGetVendorString:
      return truth(getVendorString(text));
    case effGetProductString:
      return truth(getProductString(text));
    case effGetVendorVersion:
      return getVendorVersion();
    case effVendorSpecific:
      return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return canDo(text);
    case effGetTailSize:
      return getTailSize();
    case effGetParameterProperties:
      return truth(getParameterProperties(index, ptr));
    case effGetVstVersion:
      return getVstVersion();
    case effGetMidiProgramName:
      return getMidiProgramName(index, ptr);
    case effGetCurrentMidiProgram:
      return getCurrentMidiProgram(index, ptr);
    case effGetMidiProgramCategory:
      return getMidiProgramCategory(index, ptr);
    case effHasMidiProgramsChanged:
      return truth(hasMidiProgramsChanged(index));
    case effGetMidiKeyName:
      return truth(getMidiKeyName(index, ptr));
    case effBeginSetProgram:
      return truth(beginSetProgram());
    case effEndSetProgram:
      return truth(endSetProgram());
    case effGetSpeakerArrangement:
      return truth(
          getSpeakerArrangement(reinterpret_cast<void**>(value), static_cast<void**>(ptr)));
    case effShellGetNextPlugin:
      return getNextShellPlugin(text);
    case effStartProcess:
      return startProcess();
    case effStopProcess:
      return stopProcess();
    case effSetTotalSampleToProcess:
      return setTotalSampleToProcess(value32);
    case effSetPanLaw:
      return truth(setPanLaw(value32, opt));
    case effBeginLoadBank:
      return beginLoadBank(ptr);
    case effBeginLoadProgram:
      return beginLoadProgram(ptr);
    case effSetProcessPrecision:
      return truth(setProcessPrecision(value32));
    case effGetNumMidiInputChannels:
      return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
      return getNumMidiOutputChannels();
    default:
      return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}

void AudioEffectX::resume() {
  if (isSynth() || canDo(const_cast<char*>(kCanDoReceiveVstMidiEvent)) == 1) wantEvents(1);
}

std::int32_t AudioEffectX::processEvents(void*) { return 0; }
bool AudioEffectX::canParameterBeAutomated(std::int32_t) { return true; }
bool AudioEffectX::string2parameter(std::int32_t, char*) { return false; }
bool AudioEffectX::getProgramNameIndexed(std::int32_t, std::int32_t, char*) { return false; }
bool AudioEffectX::getInputProperties(std::int32_t, void*) { return false; }
bool AudioEffectX::getOutputProperties(std::int32_t, void*) { return false; }
std::int32_t AudioEffectX::getPlugCategory() { return isSynth() ? 2 : 0; }
bool AudioEffectX::offlineNotify(void*, std::int32_t, bool) { return false; }
bool AudioEffectX::offlinePrepare(void*, std::int32_t) { return false; }
bool AudioEffectX::offlineRun(void*, std::int32_t) { return false; }
bool AudioEffectX::processVariableIo(void*) { return false; }
bool AudioEffectX::setSpeakerArrangement(void*, void*) { return false; }
bool AudioEffectX::setBypass(bool) { return false; }
bool AudioEffectX::getEffectName(char*) { return false; }
bool AudioEffectX::getVendorString(char*) { return false; }
bool AudioEffectX::getProductString(char*) { return false; }
std::int32_t AudioEffectX::getVendorVersion() { return 0; }
std::intptr_t AudioEffectX::vendorSpecific(std::int32_t, std::intptr_t, void*, float) { return 0; }
std::int32_t AudioEffectX::canDo(char*) { return 0; }
std::int32_t AudioEffectX::getTailSize() { return 0; }
bool AudioEffectX::getParameterProperties(std::int32_t, void*) { return false; }
std::int32_t AudioEffectX::getVstVersion() { return kVstVersion; }
std::int32_t AudioEffectX::getMidiProgramName(std::int32_t, void*) { return 0; }
std::int32_t AudioEffectX::getCurrentMidiProgram(std::int32_t, void*) { return -1; }
std::int32_t AudioEffectX::getMidiProgramCategory(std::int32_t, void*) { return 0; }
bool AudioEffectX::hasMidiProgramsChanged(std::int32_t) { return false; }
bool AudioEffectX::getMidiKeyName(std::int32_t, void*) { return false; }
bool AudioEffectX::beginSetProgram() { return false; }
bool AudioEffectX::endSetProgram() { return false; }

bool AudioEffectX::getSpeakerArrangement(void** pluginInput, void** pluginOutput) {
  storeNullIfGiven(pluginInput);
  storeNullIfGiven(pluginOutput);
  return false;
}

std::int32_t AudioEffectX::getNextShellPlugin(char*) { return 0; }
std::int32_t AudioEffectX::startProcess() { return 0; }
std::int32_t AudioEffectX::stopProcess() { return 0; }
std::int32_t AudioEffectX::setTotalSampleToProcess(std::int32_t value) { return value; }
bool AudioEffectX::setPanLaw(std::int32_t, float) { return false; }
std::int32_t AudioEffectX::beginLoadBank(void*) { return 0; }
std::int32_t AudioEffectX::beginLoadProgram(void*) { return 0; }
bool AudioEffectX::setProcessPrecision(std::int32_t) { return false; }
std::int32_t AudioEffectX::getNumMidiInputChannels() { return 0; }
std::int32_t AudioEffectX::getNumMidiOutputChannels() { return 0; }

void AudioEffectX::wantEvents(std::int32_t filter) { callHost(audioMasterWantMidi, filter); }
