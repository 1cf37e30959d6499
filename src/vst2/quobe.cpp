#include "vst2/quobe.h"

#include <cstring>
#include <new>

namespace {

// The lowest byte of a slot's answer, as the host interface reads truth values.
bool truthOf(std::int32_t answer) { return (answer & 0xFF) != 0; }

}  // namespace

CQuobe* shellCreate(void* effect, const EffectCallbacks& callbacks, audioMasterCallback audioMaster,
                    std::int32_t numPrograms, std::int32_t numParams) {
  if (audioMaster == nullptr || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
    return nullptr;
  return new (std::nothrow) CQuobe(effect, callbacks, audioMaster, numPrograms, numParams);
}

CQuobe::CQuobe(void* effect, const EffectCallbacks& callbacks, audioMasterCallback audioMaster,
               std::int32_t numPrograms, std::int32_t numParams)
    : AudioEffectX(audioMaster, numPrograms, numParams), effect_(effect), callbacks_(callbacks) {
  canProcessReplacing(true);
  canDoubleReplacing(true);
  callEvent(callbacks_.onCreate);
}

CQuobe::~CQuobe() { callEvent(callbacks_.onDestroy); }

void CQuobe::callEvent(EffectCallbacks::Event slot) {
  if (slot != nullptr) slot(this);
}

void CQuobe::open() { callEvent(callbacks_.onOpen); }
void CQuobe::close() { callEvent(callbacks_.onClose); }
void CQuobe::suspend() { callEvent(callbacks_.onSuspend); }

void CQuobe::resume() {
  AudioEffectX::resume();
  callEvent(callbacks_.onResume);
}

void CQuobe::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
  if (callbacks_.processReplacing != nullptr)
    callbacks_.processReplacing(this, inputs, outputs, sampleFrames);
}

void CQuobe::processDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames) {
  if (callbacks_.processDoubleReplacing != nullptr)
    callbacks_.processDoubleReplacing(this, inputs, outputs, sampleFrames);
}

void CQuobe::setParameter(std::int32_t index, float value) {
  if (callbacks_.setParameter != nullptr) callbacks_.setParameter(this, index, value);
}

float CQuobe::getParameter(std::int32_t index) {
  if (callbacks_.getParameter == nullptr) return 0.0f;
  return static_cast<float>(callbacks_.getParameter(this, index));
}

void CQuobe::setProgramName(char* name) {
  if (callbacks_.setProgramName != nullptr && name != nullptr)
    callbacks_.setProgramName(this, name);
}

void CQuobe::getProgramName(char* name) {
  copyDescriptionText(callbacks_.getProgramName, HostText::ProgramName, name);
}

bool CQuobe::getEffectName(char* name) {
  return copyDescriptionText(callbacks_.getEffectName, HostText::EffectName, name);
}

bool CQuobe::getVendorString(char* text) {
  return copyDescriptionText(callbacks_.getVendorString, HostText::VendorString, text);
}

bool CQuobe::getProductString(char* text) {
  return copyDescriptionText(callbacks_.getProductString, HostText::ProductString, text);
}

void CQuobe::getParameterLabel(std::int32_t index, char* label) {
  copyParameterText(callbacks_.getParameterLabel, HostText::ParameterLabel, index, label);
}

void CQuobe::getParameterDisplay(std::int32_t index, char* text) {
  copyParameterText(callbacks_.getParameterDisplay, HostText::ParameterDisplay, index, text);
}

void CQuobe::getParameterName(std::int32_t index, char* text) {
  copyParameterText(callbacks_.getParameterName, HostText::ParameterName, index, text);
}

bool CQuobe::copyDescriptionText(EffectCallbacks::TextGetter slot, HostText kind,
                                 char* hostBuffer) {
  if (slot == nullptr || hostBuffer == nullptr) return false;
  char text[kCallbackTextCapacity] = {};
  const std::int32_t answer = slot(this, text);
  copyToHost(kind, text, hostBuffer);
  return truthOf(answer);
}

void CQuobe::copyParameterText(EffectCallbacks::ParameterText slot, HostText kind,
                               std::int32_t index, char* hostBuffer) {
  if (slot == nullptr || hostBuffer == nullptr) return;
  char text[kCallbackTextCapacity] = {};
  slot(this, index, text);
  copyToHost(kind, text, hostBuffer);
}

std::int32_t CQuobe::getChunk(void** data, bool isPreset) {
  if (callbacks_.getChunk == nullptr) return 0;
  return callbacks_.getChunk(this, data, isPreset ? 1 : 0);
}

std::int32_t CQuobe::setChunk(void* data, std::int32_t byteSize, bool isPreset) {
  if (callbacks_.setChunk == nullptr) return 0;
  return callbacks_.setChunk(this, data, byteSize, isPreset ? 1 : 0);
}

bool CQuobe::getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) {
  if (callbacks_.getProgramNameIndexed == nullptr) return false;
  return truthOf(callbacks_.getProgramNameIndexed(this, category, index, text));
}

std::int32_t CQuobe::processEvents(void*) { return 1; }

std::int32_t CQuobe::getVendorVersion() {
  if (callbacks_.getVendorVersion == nullptr) return 0;
  return callbacks_.getVendorVersion(this);
}

std::int32_t CQuobe::canDo(char* text) {
  if (text == nullptr) return -1;
  return std::strcmp(text, kCanDoReceiveVstMidiEvent) == 0 ? 1 : -1;
}
