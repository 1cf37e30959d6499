// AudioEffect: owns the host interface record, turns dispatcher opcodes 0 to 24
// into virtual operations with default bodies, and wraps the host callback.
#pragma once

#include <cstdint>

#include "vst2/aeffect.h"

class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, std::int32_t numPrograms, std::int32_t numParams);
  virtual ~AudioEffect() = default;

  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  // Opcodes 0 to 24; every other opcode answers 0.
  virtual std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                   void* ptr, float opt);

  // Reached through the record's function pointers.
  virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames);
  virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames);
  virtual void processDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames);
  virtual void setParameter(std::int32_t index, float value);
  virtual float getParameter(std::int32_t index);

  virtual void open() {}
  virtual void close() {}
  virtual void setProgram(std::int32_t program) { curProgram_ = program; }
  virtual std::int32_t getProgram() { return curProgram_; }
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  virtual void getParameterLabel(std::int32_t index, char* label);
  virtual void getParameterDisplay(std::int32_t index, char* text);
  virtual void getParameterName(std::int32_t index, char* text);
  virtual void setSampleRate(float sampleRate) { sampleRate_ = sampleRate; }
  virtual void setBlockSize(std::int32_t blockSize) { blockSize_ = blockSize; }
  virtual void suspend() {}
  virtual void resume() {}
  virtual std::int32_t getChunk(void** data, bool isPreset);
  virtual std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset);

  AEffect* getAeffect() { return &cEffect_; }
  float getSampleRate() const { return sampleRate_; }
  std::int32_t getBlockSize() const { return blockSize_; }

  void setNumInputs(std::int32_t inputs) { cEffect_.numInputs = inputs; }
  void setNumOutputs(std::int32_t outputs) { cEffect_.numOutputs = outputs; }
  void setUniqueID(std::int32_t id) { cEffect_.uniqueID = id; }
  void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
  void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
  void canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
  bool isSynth() const { return (cEffect_.flags & effFlagsIsSynth) != 0; }

 protected:
  // Calls the host; answers 0 when there is no host callback. Inline: every
  // processing call asks the host for the time four times.
  std::intptr_t callHost(std::int32_t opcode, std::intptr_t value) {
    if (audioMaster_ == nullptr) return 0;
    return audioMaster_(&cEffect_, opcode, 0, value, nullptr, 0.0f);
  }

 private:
  void setFlag(std::int32_t flag, bool state);

  audioMasterCallback audioMaster_;
  float sampleRate_ = 44100.0f;
  std::int32_t blockSize_ = 1024;
  std::int32_t numPrograms_;
  std::int32_t curProgram_ = 0;
  AEffect cEffect_{};
};
