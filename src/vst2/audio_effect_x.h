// AudioEffectX: the extended opcodes 25 to 79 as virtual operations with
// default bodies, and the host callback wrappers for MIDI and time requests.
#pragma once

#include <cstdint>

#include "vst2/audio_effect.h"

class AudioEffectX : public AudioEffect {
 public:
  using AudioEffect::AudioEffect;

  // Extended opcodes; the rest, the deprecated ones included, go to AudioEffect.
  std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override;

  // Asks the host for MIDI events first when the instance takes them.
  void resume() override;

  virtual std::int32_t processEvents(void* events);
  virtual bool canParameterBeAutomated(std::int32_t index);
  virtual bool string2parameter(std::int32_t index, char* text);
  virtual bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text);
  virtual bool getInputProperties(std::int32_t index, void* properties);
  virtual bool getOutputProperties(std::int32_t index, void* properties);
  virtual std::int32_t getPlugCategory();
  virtual bool offlineNotify(void* audioFiles, std::int32_t numAudioFiles, bool start);
  virtual bool offlinePrepare(void* offline, std::int32_t count);
  virtual bool offlineRun(void* offline, std::int32_t count);
  virtual bool processVariableIo(void* varIo);
  virtual bool setSpeakerArrangement(void* pluginInput, void* pluginOutput);
  virtual bool setBypass(bool onOff);
  virtual bool getEffectName(char* name);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual std::int32_t getVendorVersion();
  virtual std::intptr_t vendorSpecific(std::int32_t index, std::intptr_t value, void* ptr,
                                       float opt);
  virtual std::int32_t canDo(char* text);
  virtual std::int32_t getTailSize();
  virtual bool getParameterProperties(std::int32_t index, void* properties);
  virtual std::int32_t getVstVersion();
  virtual std::int32_t getMidiProgramName(std::int32_t channel, void* midiProgramName);
  virtual std::int32_t getCurrentMidiProgram(std::int32_t channel, void* currentProgram);
  virtual std::int32_t getMidiProgramCategory(std::int32_t channel, void* category);
  virtual bool hasMidiProgramsChanged(std::int32_t channel);
  virtual bool getMidiKeyName(std::int32_t channel, void* keyName);
  virtual bool beginSetProgram();
  virtual bool endSetProgram();
  virtual bool getSpeakerArrangement(void** pluginInput, void** pluginOutput);
  virtual std::int32_t getNextShellPlugin(char* name);
  virtual std::int32_t startProcess();
  virtual std::int32_t stopProcess();
  virtual std::int32_t setTotalSampleToProcess(std::int32_t value);
  virtual bool setPanLaw(std::int32_t type, float value);
  virtual std::int32_t beginLoadBank(void* patchChunkInfo);
  virtual std::int32_t beginLoadProgram(void* patchChunkInfo);
  virtual bool setProcessPrecision(std::int32_t precision);
  virtual std::int32_t getNumMidiInputChannels();
  virtual std::int32_t getNumMidiOutputChannels();

  // Host callback wrappers.
  void wantEvents(std::int32_t filter);
  // The host's time record, or null when the host has none.
  const void* getTimeInfo(std::int32_t filter) {
    return reinterpret_cast<const void*>(callHost(audioMasterGetTime, filter));
  }
};
