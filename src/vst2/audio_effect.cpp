#include "vst2/audio_effect.h"

#include "seam/host_boundary.h"

namespace {

AudioEffect* objectOf(AEffect* e) { return static_cast<AudioEffect*>(e->object); }

std::intptr_t VST_CALL dispatchEffect(AEffect* e, std::int32_t opcode, std::int32_t index,
                                      std::intptr_t value, void* ptr, float opt) {
  AudioEffect* object = objectOf(e);
  const std::intptr_t answer =
      guardedHostCall([&] { return object->dispatcher(opcode, index, value, ptr, opt); });
  if (opcode == effClose) {
    delete object;
    return 1;
  }
  return answer;
}

void VST_CALL processEffect(AEffect* e, float** inputs, float** outputs, std::int32_t frames) {
  guardedHostCall([&] { objectOf(e)->process(inputs, outputs, frames); });
}

void VST_CALL processReplacingEffect(AEffect* e, float** inputs, float** outputs,
                                     std::int32_t frames) {
  guardedHostCall([&] { objectOf(e)->processReplacing(inputs, outputs, frames); });
}

void VST_CALL processDoubleReplacingEffect(AEffect* e, double** inputs, double** outputs,
                                           std::int32_t frames) {
  guardedHostCall([&] { objectOf(e)->processDoubleReplacing(inputs, outputs, frames); });
}

void VST_CALL setParameterEffect(AEffect* e, std::int32_t index, float value) {
  guardedHostCall([&] { objectOf(e)->setParameter(index, value); });
}

float VST_CALL getParameterEffect(AEffect* e, std::int32_t index) {
  return guardedHostCall([&] { return objectOf(e)->getParameter(index); });
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, std::int32_t numPrograms,
                         std::int32_t numParams)
    : audioMaster_(audioMaster), numPrograms_(numPrograms) {
  cEffect_.magic = kEffectMagic;
  cEffect_.dispatcher = dispatchEffect;
  cEffect_.process = processEffect;
  cEffect_.setParameter = setParameterEffect;
  cEffect_.getParameter = getParameterEffect;
  cEffect_.numPrograms = numPrograms;
  cEffect_.numParams = numParams;
  cEffect_.numInputs = 1;
  cEffect_.numOutputs = 2;
  cEffect_.flags = effFlagsCanReplacing;
  cEffect_.ioRatio = 1.0f;
  cEffect_.object = this;
  cEffect_.uniqueID = kNoEffectUniqueId;
  cEffect_.version = 1;
  cEffect_.processReplacing = processReplacingEffect;
  cEffect_.processDoubleReplacing = processDoubleReplacingEffect;
}

std::intptr_t AudioEffect::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                      void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      if (value < numPrograms_) setProgram(static_cast<std::int32_t>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName:
      setProgramName(text);
      return 0;
    case effGetProgramName:
      getProgramName(text);
      return 0;
    case effGetParamLabel:
      getParameterLabel(index, text);
      return 0;
    case effGetParamDisplay:
      getParameterDisplay(index, text);
      return 0;
    case effGetParamName:
      getParameterName(index, text);
      return 0;
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<std::int32_t>(value));
      return 0;
    case effMainsChanged:
      if (value != 0)
        resume();
      else
        suspend();
      return 0;
    case effIdentify:
      return kEffectIdentity;
    case effGetChunk:
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      return setChunk(ptr, static_cast<std::int32_t>(value), index != 0);
    default:
      return 0;  // editor opcodes among them: this plugin registers no editor
  }
}

void AudioEffect::process(float**, float**, std::int32_t) {}
void AudioEffect::processReplacing(float**, float**, std::int32_t) {}
void AudioEffect::processDoubleReplacing(double**, double**, std::int32_t) {}
void AudioEffect::setParameter(std::int32_t, float) {}
float AudioEffect::getParameter(std::int32_t) { return 0.0f; }
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char*) {}
void AudioEffect::getParameterLabel(std::int32_t, char*) {}
void AudioEffect::getParameterDisplay(std::int32_t, char*) {}
void AudioEffect::getParameterName(std::int32_t, char*) {}
std::int32_t AudioEffect::getChunk(void**, bool) { return 0; }
std::int32_t AudioEffect::setChunk(void*, std::int32_t, bool) { return 0; }

void AudioEffect::setFlag(std::int32_t flag, bool state) {
  if (state) {
    cEffect_.flags |= flag;
  } else {
    cEffect_.flags &= ~flag;
  }
}
